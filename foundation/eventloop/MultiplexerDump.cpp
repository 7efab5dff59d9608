#include <ostream>

#include "foundation/eventloop/Multiplexer.h"
#include "foundation/eventloop/Profile.h"
#include "foundation/os/Ext.h"

void Multiplexer::dump(std::ostream& out) const {
  out << "dpc transition measurement (min/max/cur/counter): " << dpcMeasure_ << '\n';
  out << "event transition measurement (min/max/cur/counter): " << eventMeasure_ << '\n';
  out << "timer transition measurement (min/max/cur/counter): " << timerMeasure_ << '\n';
  Profile::dump(out);

  ext::Table table(40, 30, 10, 10, 5, 60);
  {
    ext::Table::Sentry s(out, table);
    s << ext::delimeter;
    s << ext::beginrow << "name" << ext::nextrow << "events" << ext::nextrow << "count" << ext::nextrow << "handler"
      << ext::nextrow << "fd" << ext::nextrow << "measure" << ext::nextrow;
    s << ext::delimeter;
    for (const EventHandler* h = active_.head(); h; h = active_.next(h)) {
      const Event* e = h->is_named() ? dynamic_cast<const Event*>(h) : nullptr;
      if (!e) continue;
      s << ext::beginrow << e->name() << ext::nextrow << PollEventAsText(e->mask()) << ext::nextrow << e->hits()
        << ext::nextrow << (e->handler() ? "attached" : "unattached") << ext::nextrow << e->fd().get() << ext::nextrow
        << e->measure() << ext::nextrow;
    }
    s << ext::delimeter;
  }
  out << '\n';
}

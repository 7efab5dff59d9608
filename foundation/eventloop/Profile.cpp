#include "foundation/eventloop/Profile.h"

#include <ostream>

namespace Profile {

Point* Point::mRoot = nullptr;

Point::Point(const char* name) : next_(mRoot), name_(name) { mRoot = this; }

Point::~Point() {
  for (Point** p = &mRoot; *p; p = &(*p)->next_) {
    if (*p == this) {
      *p = next_;
      break;
    }
  }
}

void Point::put(std::ostream& out) const {
  out << '[' << name_ << "]: ";
  measure_.put(out);
}

void dump(std::ostream& out) {
  for (const Point* p = Point::mRoot; p; p = p->next()) {
    p->put(out);
    out << '\n';
  }
}

}  // namespace Profile

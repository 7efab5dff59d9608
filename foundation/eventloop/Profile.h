#pragma once
// Named timing points, listed in the status dump. Points are usually
// function-local statics, so a point joins the list the first time its code
// runs:   static Profile::Point point("Tpkt_protocol::message");
//         point.begin(); ...; point.end();

#include <iosfwd>

#include "foundation/eventloop/Measure.h"

namespace Profile {

class Point {
public:
  // The name is not copied: it must outlive the point.
  explicit Point(const char* name);
  Point(const Point&) = delete;
  Point& operator=(const Point&) = delete;
  ~Point();

  void begin() { measure_.begin(); }
  void end() { measure_.end(); }
  // "[name]: min=.. max=.. avg=.. counter=..": avg shows the latest sample.
  void put(std::ostream& out) const;

  const char* name() const { return name_; }
  const Measure& measure() const { return measure_; }
  const Point* next() const { return next_; }

  // The newest point; each links to the one made before it.
  static Point* mRoot;

private:
  Point* next_;
  const char* name_;
  Measure measure_;
};

// Every point, newest first, one a line.
void dump(std::ostream& out);

}  // namespace Profile

#pragma once
// Fills an HTML page template with statistics. A value reference is a name
// between two "%"; a section is the comment "<!--GEN.name-->", expanded once
// for a sub-object or once per object of a collection, up to "<!--GEN.end-->".
// Everything else of the template is copied unchanged.

#include <istream>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace Stat {

class Object;

// A statistic's text; false when the object does not know the name.
class Value {
public:
  Value() = default;
  explicit Value(const std::string& text) : mFound(true), mText(text) {}

  explicit operator bool() const { return mFound; }
  const std::string& text() const { return mText; }

private:
  bool mFound = false;
  std::string mText;
};

// A walk over a collection of statistics objects.
class IteratorBase {
public:
  virtual ~IteratorBase() = default;
  // True while it stands on an object.
  virtual bool valid() const = 0;
  // True when it moved to another object.
  virtual bool next() = 0;
  virtual const Object& current() const = 0;
};

class Object {
public:
  virtual ~Object() = default;
  virtual Value statistics_value(const std::string& name) const = 0;
  // Null when there is no such sub-object.
  virtual const Object* statistics_object(const std::string& name) const = 0;
  // Null when there is no such collection.
  virtual std::unique_ptr<IteratorBase> statistics_iterator(const std::string& name) const = 0;
};

namespace Html {

class GeneratorV1 {
public:
  GeneratorV1(const Object& root, std::ostream& out, std::istream& in);

  bool generate();

private:
  enum class TokenKind { Section, Value, End };
  enum class InputState {
    Initial,
    SectionOpen,
    SectionBody,
    Comment1,
    Comment2,
    Marker1,
    Marker2,
    Marker3,
    Marker4,
    Name,
    NameEnd1,
    NameEnd2,
    ValueOpen,
    ValueBody
  };
  enum class OutputState { Pass, Capture };

  bool generate_body();
  void expand(const Object& object);
  void skip();
  void writeValue();

  TokenKind parse();
  void scan(char c);
  void notMarker();
  void capture();
  void write(char c);
  void write(const std::string& text);

  const Object& mRoot;
  std::ostream& mOut;
  std::istream& mIn;
  std::vector<const Object*> mStack;
  int mIgnore = 0;
  InputState mInput = InputState::Initial;
  OutputState mOutput = OutputState::Pass;
  TokenKind mKind = TokenKind::End;
  std::string mName;
  bool mReady = false;
  std::string mCapture;
};

// Always true.
bool generateV1(const Object& root, std::ostream& out, std::istream& in);

}  // namespace Html
}  // namespace Stat

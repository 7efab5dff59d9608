#include "foundation/log/StatHtml.h"

namespace Stat {
namespace Html {

namespace {

// Stands in for a section that has no object: knows nothing, so the whole
// section, nested sections included, produces no output.
class UnknownObject : public Object {
public:
  Value statistics_value(const std::string&) const override { return Value(); }
  const Object* statistics_object(const std::string&) const override { return nullptr; }
  std::unique_ptr<IteratorBase> statistics_iterator(const std::string&) const override { return nullptr; }
};

const char markerText[] = "GEN.";

}  // namespace

GeneratorV1::GeneratorV1(const Object& root, std::ostream& out, std::istream& in) : mRoot(root), mOut(out), mIn(in) {}

bool GeneratorV1::generate() {
  mIgnore = 0;
  mStack.clear();
  expand(mRoot);
  return true;
}

bool GeneratorV1::generate_body() {
  for (;;) {
    switch (parse()) {
      case TokenKind::End: return true;
      case TokenKind::Value: writeValue(); break;
      case TokenKind::Section: {
        if (mName == "end") return true;
        const Object& current = *mStack.back();
        std::unique_ptr<IteratorBase> collection = current.statistics_iterator(mName);
        if (!collection) {
          const Object* sub = current.statistics_object(mName);
          if (sub)
            expand(*sub);
          else
            skip();
        } else if (!collection->valid()) {
          skip();
        } else {
          const std::istream::pos_type start = mIn.tellg();
          expand(collection->current());
          while (collection->next() && collection->valid()) {
            mIn.clear();
            mIn.seekg(start);
            expand(collection->current());
          }
        }
        break;
      }
    }
  }
}

void GeneratorV1::expand(const Object& object) {
  mStack.push_back(&object);
  generate_body();
  mStack.pop_back();
}

void GeneratorV1::skip() {
  static const UnknownObject unknown;
  ++mIgnore;
  expand(unknown);
  --mIgnore;
}

void GeneratorV1::writeValue() {
  for (auto object = mStack.rbegin(); object != mStack.rend(); ++object) {
    const Value value = (*object)->statistics_value(mName);
    if (value) {
      write(value.text());
      return;
    }
  }
  write(mCapture);
}

GeneratorV1::TokenKind GeneratorV1::parse() {
  mInput = InputState::Initial;
  mOutput = OutputState::Pass;
  mName.clear();
  mReady = false;
  mCapture.clear();
  for (char c; mIn.get(c);) {
    scan(c);
    if (mOutput == OutputState::Pass)
      write(c);
    else
      mCapture += c;
    if (mReady) return mKind;
  }
  // Text held back for a marker that the input cut short is still template text.
  if (mOutput == OutputState::Capture) write(mCapture);
  mName.clear();
  return TokenKind::End;
}

void GeneratorV1::scan(char c) {
  switch (mInput) {
    case InputState::Initial:
      if (c == '<') {
        mInput = InputState::SectionOpen;
        capture();
      } else if (c == '%') {
        mInput = InputState::ValueOpen;
        capture();
      }
      return;
    case InputState::SectionOpen:
      if (c == '!')
        mInput = InputState::Comment1;
      else
        notMarker();
      return;
    case InputState::SectionBody:
      if (c == '>') mInput = InputState::Initial;
      return;
    case InputState::Comment1:
      if (c == '-')
        mInput = InputState::Comment2;
      else
        notMarker();
      return;
    case InputState::Comment2:
      if (c == '-') {
        mName.clear();
        mKind = TokenKind::Section;
        mInput = InputState::Marker1;
      } else {
        notMarker();
      }
      return;
    case InputState::Marker1:
    case InputState::Marker2:
    case InputState::Marker3:
    case InputState::Marker4: {
      const int index = static_cast<int>(mInput) - static_cast<int>(InputState::Marker1);
      if (c == markerText[index])
        mInput = static_cast<InputState>(static_cast<int>(mInput) + 1);
      else
        notMarker();
      return;
    }
    case InputState::Name:
      if (c == '-')
        mInput = InputState::NameEnd1;
      else
        mName += c;
      return;
    case InputState::NameEnd1:
      if (c == '-') {
        mInput = InputState::NameEnd2;
      } else {
        mName += '-';
        mName += c;
        mInput = InputState::Name;
      }
      return;
    case InputState::NameEnd2:
      if (c == '>') mReady = true;
      return;
    case InputState::ValueOpen:
      if (c == '%') {
        // "%%" is plain text: this one here, the same character again as it passes.
        write(c);
        mInput = InputState::Initial;
        mOutput = OutputState::Pass;
      } else {
        mName.assign(1, c);
        mKind = TokenKind::Value;
        mInput = InputState::ValueBody;
      }
      return;
    case InputState::ValueBody:
      if (c == '%')
        mReady = true;
      else
        mName += c;
      return;
  }
}

void GeneratorV1::notMarker() {
  write(mCapture);
  mInput = InputState::SectionBody;
  mOutput = OutputState::Pass;
}

void GeneratorV1::capture() {
  mOutput = OutputState::Capture;
  mCapture.clear();
}

void GeneratorV1::write(char c) {
  if (mIgnore == 0) mOut.put(c);
}

void GeneratorV1::write(const std::string& text) {
  if (mIgnore == 0) mOut << text;
}

bool generateV1(const Object& root, std::ostream& out, std::istream& in) {
  GeneratorV1 generator(root, out, in);
  return generator.generate();
}

}  // namespace Html
}  // namespace Stat

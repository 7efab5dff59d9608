#include "asn1/ValueNotation.h"

#include <cctype>
#include <cstdlib>
#include <iomanip>
#include <sstream>

namespace ASN1 {

// ---- Writer ----------------------------------------------------------------------

bool AVNEncoder::do_visit(const Null&) {
  *stream_ << "NULL";
  return good();
}

bool AVNEncoder::do_visit(const BOOLEAN& value) {
  *stream_ << (value.getValue() ? "TRUE" : "FALSE");
  return good();
}

bool AVNEncoder::do_visit(const INTEGER& value) {
  if (value.isUnsigned())
    *stream_ << value.getUnsignedValue();
  else
    *stream_ << value.getValue();
  return good();
}

bool AVNEncoder::do_visit(const IntegerWithNamedNumber& value) {
  std::string name;
  if (!value.getName(name)) return do_visit(static_cast<const INTEGER&>(value));
  *stream_ << name;
  return good();
}

bool AVNEncoder::do_visit(const ENUMERATED& value) {
  if (const char* name = value.getName())
    *stream_ << name;
  else
    *stream_ << value.getValue();
  return good();
}

bool AVNEncoder::do_visit(const OBJECT_IDENTIFIER& value) {
  *stream_ << "{ ";
  for (unsigned arc : value.components()) *stream_ << arc << ' ';
  *stream_ << '}';
  return good();
}

bool AVNEncoder::do_visit(const BIT_STRING& value) {
  *stream_ << '\'';
  for (unsigned i = 0; i < value.size(); ++i) *stream_ << (value[i] ? '1' : '0');
  *stream_ << "'B";
  return good();
}

bool AVNEncoder::do_visit(const OCTET_STRING& value) {
  std::ios_base::fmtflags flags = stream_->flags();
  *stream_ << '\'' << std::hex << std::setfill('0');
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (i) *stream_ << ' ';
    *stream_ << std::setw(2) << static_cast<unsigned>(static_cast<unsigned char>(value[i]));
  }
  stream_->flags(flags);
  stream_->fill(' ');
  *stream_ << "'H";
  return good();
}

bool AVNEncoder::do_visit(const AbstractString& value) {
  *stream_ << '"' << static_cast<const CharacterVector&>(value) << '"';
  return good();
}

bool AVNEncoder::do_visit(const BMPString& value) {
  std::string text(value.size() + 1, '\0');
  std::size_t n = std::wcstombs(&text[0], value.c_str(), value.size());
  if (n == value.size()) {
    text.resize(n);
    *stream_ << '"' << text << '"';
    return good();
  }
  *stream_ << '{';
  for (std::size_t i = 0; i < value.size(); ++i) {
    auto code = static_cast<unsigned>(value[i]);
    *stream_ << (i ? ", " : "") << "{ 0, 0, " << (code >> 8 & 0xFF) << ", " << (code & 0xFF) << '}';
  }
  *stream_ << '}';
  return good();
}

bool AVNEncoder::do_visit(const CHOICE& value) {
  const char* name = value.getSelectionName();
  if (!name) return false;
  *stream_ << name << " : ";
  return good() && value.getSelection()->accept(*this);
}

bool AVNEncoder::do_visit(const OpenData& value) {
  if (value.has_data()) return value.get_data().accept(*this);
  if (!value.has_buf()) return false;
  OCTET_STRING octets(value.get_buf());
  return do_visit(octets);
}

bool AVNEncoder::do_visit(const GeneralizedTime& value) {
  *stream_ << '"' << value.get() << '"';
  return good();
}

bool AVNEncoder::do_visit(const SEQUENCE_OF_Base& value) {
  *stream_ << "{\n";
  indent_ += 2;
  for (auto it = value.baseBegin(); it != value.baseEnd() && good(); ++it) {
    *stream_ << std::setw(indent_) << ' ';
    if (!(*it)->accept(*this)) return false;
    if (it + 1 != value.baseEnd()) *stream_ << ",\n";
  }
  indent_ -= 2;
  if (!value.empty()) *stream_ << '\n';
  *stream_ << std::setw(indent_ + 1) << '}';
  return good();
}

bool AVNEncoder::preVisitExtensionRoots(const SEQUENCE&) {
  separators_.push_back(false);
  *stream_ << "{\n";
  return good();
}

bool AVNEncoder::writeField(const SEQUENCE& seq, int index) {
  const AbstractData* field = seq.getField(static_cast<unsigned>(index));
  if (!field) return false;
  if (separators_.back()) *stream_ << ",\n";
  const char* name = seq.info()->fieldNames[index];
  *stream_ << std::setw(static_cast<int>(std::char_traits<char>::length(name)) + indent_ + 2) << name << ' ';
  indent_ += 2;
  if (!field->accept(*this)) return false;
  indent_ -= 2;
  separators_.back() = true;
  return good();
}

bool AVNEncoder::visitExtensionRoot(const SEQUENCE& seq, int index) { return writeField(seq, index); }
bool AVNEncoder::visitKnownExtension(const SEQUENCE& seq, int index) { return writeField(seq, index); }

bool AVNEncoder::afterVisitSequence(const SEQUENCE&) {
  if (separators_.back()) *stream_ << '\n';
  separators_.pop_back();
  *stream_ << std::setw(indent_ + 1) << '}';
  return good();
}

// ---- Reader ------------------------------------------------------------------------

namespace {

bool readChar(std::istream& stream, char& c) { return static_cast<bool>(stream >> c); }

// End of input after a complete item is not a failure of that item.
void forgiveEnd(std::istream& stream) {
  if (stream.eof()) stream.clear(std::ios_base::eofbit);
}

bool isDigitOf(char c, int base) {
  return base == 2 ? (c == '0' || c == '1') : std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

}  // namespace

bool AVNDecoder::readLetters(std::string& word) {
  word.clear();
  char c;
  while (readChar(*stream_, c)) {
    if (!std::isalpha(static_cast<unsigned char>(c))) {
      stream_->putback(c);
      break;
    }
    word += c;
  }
  forgiveEnd(*stream_);
  return !word.empty();
}

bool AVNDecoder::readNameToken(std::string& token) {
  token.clear();
  *stream_ >> std::ws;
  int c;
  while ((c = stream_->peek()) != std::char_traits<char>::eof() && c != ',' &&
         !std::isspace(static_cast<unsigned char>(c)))
    token += static_cast<char>(stream_->get());
  forgiveEnd(*stream_);
  return !token.empty();
}

bool AVNDecoder::do_visit(Null&) {
  std::string word;
  return readLetters(word) && word == "NULL";
}

bool AVNDecoder::do_visit(BOOLEAN& value) {
  std::string word;
  if (!readLetters(word)) return false;
  if (word == "TRUE")
    value.setValue(true);
  else if (word == "FALSE")
    value.setValue(false);
  else
    return false;
  return true;
}

bool AVNDecoder::do_visit(INTEGER& value) {
  if (value.isUnsigned()) {
    unsigned v = 0;
    *stream_ >> v;
    if (stream_->fail()) return false;
    value.setValue(v);
  } else {
    int v = 0;
    *stream_ >> v;
    if (stream_->fail()) return false;
    value.setValue(v);
  }
  return !stream_->bad();
}

bool AVNDecoder::do_visit(IntegerWithNamedNumber& value) {
  *stream_ >> std::ws;
  int c = stream_->peek();
  if (c == '-' || std::isdigit(c)) return do_visit(static_cast<INTEGER&>(value));
  std::string token;
  return readNameToken(token) && value.setFromName(token);
}

bool AVNDecoder::do_visit(ENUMERATED& value) {
  std::string token;
  return readNameToken(token) && value.setFromName(token);
}

bool AVNDecoder::do_visit(OBJECT_IDENTIFIER& value) {
  char c;
  if (!readChar(*stream_, c) || c != '{') return false;
  std::string list;
  if (!std::getline(*stream_, list, '}') || stream_->eof()) return false;
  value.components().clear();
  std::istringstream words(list);
  std::string word;
  while (words >> word) {
    std::size_t open = word.find('(');
    std::string number;
    if (std::isdigit(static_cast<unsigned char>(word[0]))) {
      number = word;
    } else if (open != std::string::npos) {
      std::size_t close = word.find(')', open);
      number = word.substr(open + 1, close == std::string::npos ? std::string::npos : close - open - 1);
    } else {
      words >> std::ws;
      if (words.peek() != '(') continue;
      words.get();
      if (!std::getline(words, number, ')')) return false;
    }
    char* end = nullptr;
    unsigned long arc = std::strtoul(number.c_str(), &end, 10);
    if (number.empty() || !std::isdigit(static_cast<unsigned char>(number[0])) || *end != '\0') return false;
    value.components().push_back(static_cast<unsigned>(arc));
  }
  return true;
}

bool AVNDecoder::do_visit(OCTET_STRING& value) {
  std::vector<char> bytes;
  unsigned bits = 0;
  if (!get_value_from(*stream_, bytes, bits)) return false;
  value.assign(bytes.begin(), bytes.end());
  return true;
}

bool AVNDecoder::do_visit(BIT_STRING& value) {
  std::vector<char> bytes;
  unsigned bits = 0;
  if (!get_value_from(*stream_, bytes, bits)) return false;
  value.assign(bytes, bits);
  return true;
}

bool AVNDecoder::do_visit(AbstractString& value) {
  std::string text;
  if (!get_string(*stream_, text)) return false;
  value.setValue(text);
  return true;
}

bool AVNDecoder::do_visit(BMPString& value) {
  std::string text;
  if (!get_string(*stream_, text)) return false;
  std::wstring wide(text.size() + 1, L'\0');
  std::size_t n = std::mbstowcs(&wide[0], text.c_str(), wide.size());
  if (n == static_cast<std::size_t>(-1)) return false;
  wide.resize(n);
  value.assign(wide);
  return true;
}

bool AVNDecoder::do_visit(CHOICE& value) {
  std::string name;
  char colon;
  if (!(*stream_ >> name) || !readChar(*stream_, colon) || colon != ':') return false;
  unsigned index = 0;
  if (!get_id(value.info()->selectionNames, value.info()->totalChoices, name, index)) return false;
  if ((value.getSelectionId() != static_cast<int>(index) || !value.getSelection()) &&
      !value.setID(static_cast<int>(index)))
    return false;
  return value.getSelection()->accept(*this);
}

bool AVNDecoder::do_visit(SEQUENCE_OF_Base& value) {
  char open, next;
  if (!readChar(*stream_, open) || open != '{' || !readChar(*stream_, next)) return false;
  value.clear();
  if (next == '}') return true;
  stream_->putback(next);
  const AbstractData::InfoType* rec = value.info()->elementInfo;
  for (;;) {
    AbstractData* element = rec->create(rec);
    if (!element->accept(*this)) {
      delete element;
      return false;
    }
    value.append(element);
    char c;
    if (!readChar(*stream_, c)) return false;
    if (c == '}') return true;
    if (c != ',') return false;
  }
}

bool AVNDecoder::do_visit(OpenData&) { return false; }
bool AVNDecoder::do_revisit(OpenData&) { return false; }

bool AVNDecoder::do_visit(TypeConstrainedOpenData& value) { return value.has_data() && value.get_data().accept(*this); }

bool AVNDecoder::do_visit(GeneralizedTime& value) {
  std::string text;
  if (!get_string(*stream_, text)) return false;
  value.set(text);
  return true;
}

Visitor::VISIT_SEQ_RESULT AVNDecoder::preVisitExtensionRoots(SEQUENCE&) {
  char c;
  if (!readChar(*stream_, c) || c != '{' || !readChar(*stream_, c)) return FAIL;
  if (c == '}') return STOP;
  stream_->putback(c);
  std::string name;
  if (!(*stream_ >> name)) return FAIL;
  names_.push_back(name);
  return CONTINUE;
}

Visitor::VISIT_SEQ_RESULT AVNDecoder::readField(SEQUENCE& seq, int index, int optionalId) {
  auto i = static_cast<unsigned>(index);
  if (names_.back() != seq.info()->fieldNames[i]) return optionalId < 0 ? FAIL : CONTINUE;
  if (optionalId >= 0) seq.includeOptionalField(static_cast<unsigned>(optionalId), i);
  if (!seq.createField(i) || !seq.getField(i)->accept(*this)) return FAIL;
  char c;
  if (!readChar(*stream_, c)) return FAIL;
  if (c == '}') {
    names_.pop_back();
    return STOP;
  }
  if (c != ',' || !(*stream_ >> names_.back())) return FAIL;
  return CONTINUE;
}

Visitor::VISIT_SEQ_RESULT AVNDecoder::visitExtensionRoot(SEQUENCE& seq, int index, int optionalId) {
  return readField(seq, index, optionalId);
}

Visitor::VISIT_SEQ_RESULT AVNDecoder::visitKnownExtension(SEQUENCE& seq, int index, int optionalId) {
  return readField(seq, index, optionalId);
}

Visitor::VISIT_SEQ_RESULT AVNDecoder::visitUnknownExtensions(SEQUENCE&) {
  if (names_.back() != "}") return FAIL;
  names_.pop_back();
  return STOP;
}

// ---- Helpers ------------------------------------------------------------------------

bool is_space_or_newline(char c) { return c == ' ' || c == '\n'; }

bool get_id(const char* const* names, unsigned count, const std::string& text, unsigned& index) {
  for (unsigned i = 0; i < count; ++i)
    if (names[i] && text == names[i]) {
      index = i;
      return true;
    }
  return false;
}

bool get_string(std::istream& stream, std::string& text) {
  char quote;
  if (!readChar(stream, quote) || quote != '"') return false;
  std::getline(stream, text, '"');
  if (stream.eof() || stream.fail()) return false;
  return true;
}

bool get_from_string(const std::string& digits, std::vector<char>& bytes, unsigned& bits, int base) {
  std::string clean;
  for (char c : digits)
    if (!is_space_or_newline(c)) clean += c;
  const std::size_t perByte = base == 16 ? 2 : 8;
  bits = static_cast<unsigned>(base == 2 ? clean.size() : 4 * clean.size());
  if (clean.size() % perByte) clean.append(perByte - clean.size() % perByte, '0');
  bytes.clear();
  for (std::size_t i = 0; i < clean.size(); i += perByte) {
    unsigned byte = 0;
    for (std::size_t k = i; k < i + perByte; ++k) {
      if (!isDigitOf(clean[k], base)) return false;
      byte = byte * static_cast<unsigned>(base) +
             static_cast<unsigned>(std::isdigit(static_cast<unsigned char>(clean[k]))
                                       ? clean[k] - '0'
                                       : std::tolower(static_cast<unsigned char>(clean[k])) - 'a' + 10);
    }
    bytes.push_back(static_cast<char>(byte));
  }
  return true;
}

bool get_value_from(std::istream& stream, std::vector<char>& bytes, unsigned& bits) {
  char quote;
  if (!readChar(stream, quote) || quote != '\'') return false;
  std::string digits;
  std::getline(stream, digits, '\'');
  if (stream.eof() || stream.fail()) return false;
  int mark = stream.get();
  if (mark == 'B') return get_from_string(digits, bytes, bits, 2);
  if (mark == 'H') return get_from_string(digits, bytes, bits, 16);
  return false;
}

// ---- Entry points --------------------------------------------------------------------

std::ios_base::iostate AbstractData::print_on(std::ostream& stream) const {
  AVNEncoder encoder(stream);
  return accept(encoder) ? std::ios_base::goodbit : std::ios_base::failbit;
}

std::string AbstractData::asValueNotation() const {
  std::ostringstream text;
  print_on(text);
  return text.str();
}

std::ios_base::iostate AbstractData::get_from(std::istream& stream) {
  AVNDecoder decoder(stream);
  return accept(decoder) ? std::ios_base::goodbit : std::ios_base::failbit;
}

bool AbstractData::setFromValueNotation(const std::string& text) {
  std::istringstream stream(text);
  return get_from(stream) == std::ios_base::goodbit;
}

// The text is built aside and then written: a value that cannot be printed
// shows what could be printed and never leaves a shared stream (the log
// stream, std::cerr) in a failed state.
std::ostream& operator<<(std::ostream& stream, const AbstractData& value) {
  if (!stream.good()) return stream;
  return stream << value.asValueNotation();
}

std::istream& operator>>(std::istream& stream, AbstractData& value) {
  if (!stream.good()) return stream;
  std::istream::sentry sentry(stream);
  if (sentry) stream.setstate(value.get_from(stream));
  return stream;
}

const CoderRule avnRule = {[](const AbstractData& value, std::vector<char>& out) {
                             std::ostringstream text;
                             if (value.print_on(text) != std::ios_base::goodbit) return false;
                             const std::string s = text.str();
                             out.insert(out.end(), s.begin(), s.end());
                             return true;
                           },
                           [](const char* first, const char* last, AbstractData& value, CoderEnv*) {
                             std::istringstream text(std::string(first, last));
                             return value.get_from(text) == std::ios_base::goodbit;
                           }};

}  // namespace ASN1

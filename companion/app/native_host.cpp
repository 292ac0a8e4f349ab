#include "companion/app/native_host.h"

#include <cstring>
#include <exception>
#include <nlohmann/json.hpp>
#include <string_view>

#include "support/registry/registry.h"
#include "support/text/sjis.h"
#include "support/text/utf8_ansi.h"

namespace zellmate::native_host {

namespace {

constexpr std::string_view kChromiumScheme = "chrome-extension://";
constexpr std::string_view kManifestSuffix = ".JSON";

// What a message carries. A member that is missing or null is the empty text, as a missing
// argument is for the automation server.
struct Message {
  std::string method;
  std::string title;
  std::string url;
  std::string referrer;
};

// Reads one flat JSON object into a Message through the library's event interface, which stops at
// the first event refused: anything nested (or a value that is not an object) ends the parse at
// once, so no input makes the parser build a deep tree. Members other than the four are ignored
// when they are plain values, so that a newer extension may add some.
class MessageReader : public nlohmann::json_sax<nlohmann::json> {
 public:
  Message message;
  bool syntaxError = false;

  bool null() override { return Value(nullptr); }
  bool boolean(bool) override { return Scalar(); }
  bool number_integer(number_integer_t) override { return Scalar(); }
  bool number_unsigned(number_unsigned_t) override { return Scalar(); }
  bool number_float(number_float_t, const string_t&) override { return Scalar(); }
  bool string(string_t& value) override { return Value(&value); }
  bool binary(binary_t&) override { return false; }
  bool start_object(std::size_t) override {
    if (inObject || done) return false;
    inObject = true;
    return true;
  }
  bool key(string_t& name) override {
    field = Field(name);
    return true;
  }
  bool end_object() override {
    inObject = false;
    done = true;
    return true;
  }
  bool start_array(std::size_t) override { return false; }
  bool end_array() override { return false; }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
    syntaxError = true;
    return false;
  }

 private:
  std::string* Field(const std::string& name) {
    if (name == "method") return &message.method;
    if (name == "title") return &message.title;
    if (name == "url") return &message.url;
    if (name == "referrer") return &message.referrer;
    return nullptr;
  }
  // A string (or null) member: ours are stored, others ignored. A zero character ("\u0000") would
  // cut the stored text short, leaving an entry that is not what was sent.
  bool Value(const std::string* text) {
    if (!inObject) return false;
    if (!field) return true;
    if (text && text->find('\0') != std::string::npos) return false;
    *field = text ? *text : std::string();
    return true;
  }
  // Numbers and booleans are never what one of ours holds.
  bool Scalar() { return inObject && !field; }

  bool inObject = false;
  bool done = false;
  std::string* field = nullptr;
};

std::string Answer(const char* error) {
  nlohmann::ordered_json answer;
  answer["ok"] = error == nullptr;
  if (error) answer["error"] = error;
  return answer.dump();
}

// Reads until size bytes are in or the input ends; the number read.
std::size_t ReadFully(Input& in, char* buffer, std::size_t size) {
  std::size_t got = 0;
  while (got < size) {
    const std::size_t n = in.Read(buffer + got, size - got);
    if (n == 0) break;
    got += n;
  }
  return got;
}

const char* Dispatch(Message& m, HostContext& context) {
  const bool add = m.method == "AddURL";
  if (!add && m.method != "SendURL") return reason::kUnknownMethod;
  // The same conversion as the automation server's strings get (from UTF-16 there).
  Utf8ToAnsi(m.title);
  Utf8ToAnsi(m.url);
  Utf8ToAnsi(m.referrer);
  if (add) {
    const AddResult r = AddURL(context.root, context.ticker, m.title, m.url, m.referrer, context.addOptions);
    if (r.outcome == AddOutcome::kNoUrl) return reason::kEmptyUrl;
    if (r.outcome == AddOutcome::kListFull) return reason::kListFull;
    // Added, or already in the list under this title: the page is subscribed either way.
    return nullptr;
  }
  if (SendURL(context.root, context.ticker, m.title, m.url, m.referrer, context.random)) return nullptr;
  return m.url.empty() ? reason::kEmptyUrl : reason::kNotRunning;
}

}  // namespace

Caller IdentifyCaller(const std::vector<std::string>& args) {
  if (args.empty()) return Caller::kNone;
  const std::string& first = args[0];
  if (sjis::EqualsNoCase(std::string_view(first).substr(0, kChromiumScheme.size()), kChromiumScheme)) {
    return first == kChromiumOrigin ? Caller::kAllowed : Caller::kRefused;
  }
  if (args.size() >= 2 && sjis::EndsWith(sjis::ToUpper(first), kManifestSuffix)) {
    return args[1] == kFirefoxId ? Caller::kAllowed : Caller::kRefused;
  }
  return Caller::kNone;
}

std::string HandleMessage(const std::string& message, HostContext& context) {
  if (!context.allowed) return Answer(reason::kNotAllowed);
  try {
    MessageReader reader;
    const bool parsed = nlohmann::json::sax_parse(message, &reader);
    if (reader.syntaxError) return Answer(reason::kMalformedJson);
    if (!parsed) return Answer(reason::kMalformedMessage);
    return Answer(Dispatch(reader.message, context));
  } catch (const std::exception&) {
    // Out of memory, or the library refusing something the reader let through.
    return Answer(reason::kInternal);
  }
}

std::string Frame(const std::string& text) {
  const auto length = static_cast<std::uint32_t>(text.size());
  std::string framed(sizeof length, '\0');
  std::memcpy(&framed[0], &length, sizeof length);
  return framed + text;
}

int Serve(Input& in, Output& out, HostContext& context) {
  int answered = 0;
  for (;;) {
    char header[sizeof(std::uint32_t)];
    const std::size_t got = ReadFully(in, header, sizeof header);
    if (got == 0) break;
    const char* framing = nullptr;
    std::uint32_t length = 0;
    std::memcpy(&length, header, sizeof length);
    std::string text;
    if (got < sizeof header) {
      framing = reason::kCutShort;
    } else if (length > kMaxMessageBytes) {
      // Not read: reading up to 4 GiB only to throw it away would keep the browser waiting.
      framing = reason::kTooLong;
    } else {
      text.resize(length);
      if (ReadFully(in, &text[0], length) < length) framing = reason::kCutShort;
    }
    const std::string framed = Frame(framing ? Answer(framing) : HandleMessage(text, context));
    if (!out.Write(framed.data(), framed.size())) break;
    ++answered;
    // After a framing error the next length cannot be found.
    if (framing) break;
  }
  return answered;
}

}  // namespace zellmate::native_host

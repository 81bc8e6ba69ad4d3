#include "DialogResponder.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <fnmatch.h>
#include <fstream>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <unistd.h>

namespace vorn::dialogs {
namespace {

struct NamedResponse {
    std::string_view name;
    int code;
};

constexpr std::array<NamedResponse, 11> kResponseNames{{
    {"yes", response::Yes},
    {"no", response::No},
    {"cancel", response::Cancel},
    {"ok", response::Ok},
    {"apply", response::Apply},
    {"refresh", response::Refresh},
    {"eject", response::Eject},
    {"erase", response::Erase},
    {"yes-to-all", response::YesToAll},
    {"rename", response::Rename},
    {"skip", response::Skip},
}};

constexpr std::array<std::string_view, 7> kKindNames{
    "info", "error", "question", "warning", "string", "file-chooser", "custom"};

std::string lower(std::string_view s)
{
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    return out;
}

std::optional<int> parseInt(std::string_view s)
{
    int value = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (ec != std::errc() || end != s.data() + s.size())
        return std::nullopt;
    return value;
}

// A word of the script and record formats: bare when it holds no blank, quote
// or backslash, else quoted with escapes.
std::string quote(std::string_view s)
{
    bool bare = !s.empty() && s.find_first_of(" \t\n\r\"\\#=") == std::string_view::npos;
    if (bare)
        return std::string(s);
    std::string out = "\"";
    for (char c : s) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
    out += '"';
    return out;
}

// Splits a line into words. A word may be partly quoted (key="a b"), so quotes
// toggle inside a word instead of delimiting it. Throws on an open quote or a
// dangling escape.
std::vector<std::string> splitWords(std::string_view line)
{
    std::vector<std::string> words;
    std::string word;
    bool inWord = false, quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        char c = line[i];
        if (quoted) {
            if (c == '"') {
                quoted = false;
            } else if (c == '\\') {
                if (++i == line.size())
                    throw std::runtime_error("a backslash ends the line");
                switch (line[i]) {
                case 'n': word += '\n'; break;
                case 't': word += '\t'; break;
                case 'r': word += '\r'; break;
                case '"': word += '"'; break;
                case '\\': word += '\\'; break;
                default: throw std::runtime_error(std::string("unknown escape \\") + line[i]);
                }
            } else {
                word += c;
            }
        } else if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            if (inWord)
                words.push_back(std::move(word));
            word.clear();
            inWord = false;
        } else if (c == '"') {
            quoted = true;
            inWord = true;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (quoted)
        throw std::runtime_error("a quoted word is not closed");
    if (inWord)
        words.push_back(std::move(word));
    return words;
}

// key=value, split at the first '=' (the value may hold more).
std::pair<std::string_view, std::string_view> keyValue(std::string_view word)
{
    auto eq = word.find('=');
    if (eq == std::string_view::npos)
        return {word, {}};
    return {word.substr(0, eq), word.substr(eq + 1)};
}

// ---- process state ----

struct State {
    std::mutex lock;
    std::shared_ptr<DialogResponder> installed;
    std::deque<DialogRecordEntry> entries;
};

State &state()
{
    // Never destroyed: dialogs may be asked from static destructors and from
    // threads that outlive main.
    static State *s = new State;
    return *s;
}

thread_local std::vector<std::string> t_roles;

struct ScriptSetup {
    std::shared_ptr<ScriptResponder> script;
    std::string recordPath;
};

const ScriptSetup &scriptSetup()
{
    static const ScriptSetup setup = [] {
        ScriptSetup s;
        if (const char *record = std::getenv("VORN_DIALOG_RECORD"); record && *record)
            s.recordPath = record;
        const char *path = std::getenv("VORN_DIALOG_SCRIPT");
        if (!path || !*path)
            return s;
        try {
            s.script = ScriptResponder::load(path);
        } catch (const std::exception &e) {
            std::fprintf(stderr, "vorn: dialog script %s: %s\n", path, e.what());
            std::fflush(stderr);
            _exit(kBadDialogScriptExitStatus);
        }
        return s;
    }();
    return setup;
}

void appendRecordFile(const std::string &path, const DialogRecordEntry &entry)
{
    std::string line = formatRecordLine(entry) + "\n";
    // One write of the whole line to a file opened for appending, so that the
    // lines of several processes sharing the record never interleave.
    int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        std::fprintf(stderr, "vorn: cannot append to the dialog record %s: %s\n", path.c_str(),
                     std::strerror(errno));
        return;
    }
    const char *p = line.data();
    std::size_t left = line.size();
    while (left > 0) {
        ssize_t n = write(fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            std::fprintf(stderr, "vorn: cannot write the dialog record %s: %s\n", path.c_str(),
                         std::strerror(errno));
            break;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    close(fd);
}

void keep(DialogRecordEntry entry)
{
    const auto &setup = scriptSetup();
    if (!setup.recordPath.empty())
        appendRecordFile(setup.recordPath, entry);
    auto &s = state();
    std::lock_guard guard(s.lock);
    s.entries.push_back(std::move(entry));
    while (s.entries.size() > kRecordLimit)
        s.entries.pop_front();
}

}  // namespace

// ---- names ----

std::string_view kindName(DialogKind kind)
{
    auto i = static_cast<std::size_t>(kind);
    return i < kKindNames.size() ? kKindNames[i] : "custom";
}

std::optional<DialogKind> kindFromName(std::string_view name)
{
    for (std::size_t i = 0; i < kKindNames.size(); ++i)
        if (kKindNames[i] == name)
            return static_cast<DialogKind>(i);
    return std::nullopt;
}

std::string_view responseName(int code)
{
    for (const auto &r : kResponseNames)
        if (r.code == code)
            return r.name;
    return {};
}

std::optional<int> responseFromName(std::string_view name)
{
    std::string l = lower(name);
    for (const auto &r : kResponseNames)
        if (r.name == l)
            return r.code;
    return parseInt(name);
}

bool DialogRequest::offers(int code) const
{
    return std::any_of(buttons.begin(), buttons.end(), [code](const DialogButton &b) { return b.response == code; });
}

// ---- installing ----

std::shared_ptr<DialogResponder> installResponder(std::shared_ptr<DialogResponder> responder)
{
    auto &s = state();
    std::lock_guard guard(s.lock);
    std::swap(s.installed, responder);
    return responder;
}

std::shared_ptr<DialogResponder> installedResponder()
{
    auto &s = state();
    std::lock_guard guard(s.lock);
    return s.installed;
}

ScopedResponder::ScopedResponder(std::shared_ptr<DialogResponder> responder)
    : previous_(installResponder(std::move(responder)))
{
}

ScopedResponder::~ScopedResponder() { installResponder(std::move(previous_)); }

RoleScope::RoleScope(std::string role) { t_roles.push_back(std::move(role)); }
RoleScope::~RoleScope() { t_roles.pop_back(); }

std::string currentRole() { return t_roles.empty() ? std::string() : t_roles.back(); }

// ---- asking ----

std::optional<DialogAnswer> ask(DialogRequest request)
{
    if (request.role.empty())
        request.role = currentRole();
    const auto &setup = scriptSetup();

    std::optional<DialogAnswer> answer;
    if (setup.script)
        answer = setup.script->answer(request);
    if (!answer) {
        if (auto responder = installedResponder())
            answer = responder->answer(request);
    }
    keep({request, true, answer});
    if (!answer && setup.script) {
        std::fprintf(stderr,
                     "vorn: unscripted dialog in a scripted process (VORN_DIALOG_SCRIPT=%s); "
                     "it showed:\n%s",
                     std::getenv("VORN_DIALOG_SCRIPT"), describe(request).c_str());
        std::fflush(stderr);
        _exit(kUnscriptedDialogExitStatus);
    }
    return answer;
}

void noteShown(DialogRequest request)
{
    if (request.role.empty())
        request.role = currentRole();
    keep({std::move(request), false, std::nullopt});
}

std::vector<DialogRecordEntry> record()
{
    auto &s = state();
    std::lock_guard guard(s.lock);
    return {s.entries.begin(), s.entries.end()};
}

void clearRecord()
{
    auto &s = state();
    std::lock_guard guard(s.lock);
    s.entries.clear();
}

int safeResponse(const DialogRequest &request)
{
    for (int code : {response::Cancel, response::No, response::Skip, response::Ok})
        if (request.offers(code))
            return code;
    if (!request.buttons.empty())
        return request.buttons.front().response;
    return response::Cancel;
}

std::string stripMarkup(std::string_view markup)
{
    static constexpr std::array<std::pair<std::string_view, char>, 5> entities{{
        {"&lt;", '<'}, {"&gt;", '>'}, {"&amp;", '&'}, {"&quot;", '"'}, {"&apos;", '\''}}};
    std::string out;
    for (std::size_t i = 0; i < markup.size();) {
        char c = markup[i];
        if (c == '<') {
            auto end = markup.find('>', i);
            if (end == std::string_view::npos)
                break;
            i = end + 1;
            continue;
        }
        if (c == '&') {
            bool replaced = false;
            for (const auto &[name, ch] : entities) {
                if (markup.substr(i, name.size()) == name) {
                    out += ch;
                    i += name.size();
                    replaced = true;
                    break;
                }
            }
            if (replaced)
                continue;
        }
        out += c;
        ++i;
    }
    return out;
}

std::string describe(const DialogRequest &request)
{
    std::ostringstream out;
    out << "  kind: " << kindName(request.kind) << "\n";
    if (!request.role.empty())
        out << "  role: " << request.role << "\n";
    out << "  title: " << request.title << "\n";
    if (!request.heading.empty())
        out << "  heading: " << stripMarkup(request.heading) << "\n";
    if (!request.text.empty())
        out << "  text: " << stripMarkup(request.text) << "\n";
    if (request.checkLabel)
        out << "  check box: " << *request.checkLabel << (request.checked ? " (on)" : " (off)") << "\n";
    if (request.entryText)
        out << "  entry: " << *request.entryText << "\n";
    out << "  buttons:";
    for (const auto &b : request.buttons)
        out << " [" << b.label << " = " << b.response << "]";
    out << "\n";
    return out.str();
}

// ---- record lines ----

std::string formatRecordLine(const DialogRecordEntry &entry)
{
    const auto &r = entry.request;
    std::string line = "kind=" + std::string(kindName(r.kind));
    line += " modal=" + std::string(entry.modal ? "1" : "0");
    line += " role=" + quote(r.role);
    line += " title=" + quote(r.title);
    line += " heading=" + quote(r.heading);
    line += " text=" + quote(r.text);
    for (const auto &b : r.buttons)
        line += " button=" + quote(std::to_string(b.response) + ":" + b.label);
    line += " default=" + std::to_string(r.defaultResponse);
    if (r.checkLabel)
        line += " check-label=" + quote(*r.checkLabel) + " checked=" + (r.checked ? "1" : "0");
    if (r.entryText)
        line += " entry=" + quote(*r.entryText);
    if (entry.answer) {
        const auto &a = *entry.answer;
        line += " answer=" + std::to_string(a.response);
        if (a.entryText)
            line += " answer-entry=" + quote(*a.entryText);
        if (a.checked)
            line += std::string(" answer-checked=") + (*a.checked ? "1" : "0");
        for (const auto &f : a.fileNames)
            line += " answer-file=" + quote(f);
    }
    return line;
}

std::optional<DialogRecordEntry> parseRecordLine(std::string_view line)
{
    std::vector<std::string> words;
    try {
        words = splitWords(line);
    } catch (const std::exception &) {
        return std::nullopt;
    }
    DialogRecordEntry entry;
    auto &r = entry.request;
    bool sawKind = false;
    for (const auto &word : words) {
        auto [key, value] = keyValue(word);
        std::string v(value);
        if (key == "kind") {
            auto kind = kindFromName(value);
            if (!kind)
                return std::nullopt;
            r.kind = *kind;
            sawKind = true;
        } else if (key == "modal") {
            entry.modal = value == "1";
        } else if (key == "role") {
            r.role = v;
        } else if (key == "title") {
            r.title = v;
        } else if (key == "heading") {
            r.heading = v;
        } else if (key == "text") {
            r.text = v;
        } else if (key == "button") {
            auto colon = value.find(':');
            auto code = parseInt(value.substr(0, colon));
            if (colon == std::string_view::npos || !code)
                return std::nullopt;
            r.buttons.push_back({*code, std::string(value.substr(colon + 1))});
        } else if (key == "default") {
            r.defaultResponse = parseInt(value).value_or(0);
        } else if (key == "check-label") {
            r.checkLabel = v;
        } else if (key == "checked") {
            r.checked = value == "1";
        } else if (key == "entry") {
            r.entryText = v;
        } else if (key == "answer") {
            auto code = parseInt(value);
            if (!code)
                return std::nullopt;
            entry.answer.emplace().response = *code;
        } else if (entry.answer && key == "answer-entry") {
            entry.answer->entryText = v;
        } else if (entry.answer && key == "answer-checked") {
            entry.answer->checked = value == "1";
        } else if (entry.answer && key == "answer-file") {
            entry.answer->fileNames.push_back(v);
        } else {
            return std::nullopt;
        }
    }
    if (!sawKind)
        return std::nullopt;
    return entry;
}

// ---- the script ----

struct ScriptResponder::Rule {
    enum class By { Role, Title, Kind, Any } by = By::Any;
    std::string pattern;
    DialogKind kind = DialogKind::Custom;
    DialogAnswer answer;
    bool once = false;
    bool used = false;

    bool matches(const DialogRequest &request) const
    {
        switch (by) {
        case By::Role: return fnmatch(pattern.c_str(), request.role.c_str(), 0) == 0;
        case By::Title: return fnmatch(pattern.c_str(), request.title.c_str(), 0) == 0;
        case By::Kind: return request.kind == kind;
        case By::Any: return true;
        }
        return false;
    }
};

std::shared_ptr<ScriptResponder> ScriptResponder::parse(std::string_view text)
{
    auto script = std::make_shared<ScriptResponder>();
    std::size_t lineNo = 0;
    std::size_t start = 0;
    while (start <= text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++lineNo;
        auto fail = [lineNo](const std::string &why) {
            throw std::runtime_error("line " + std::to_string(lineNo) + ": " + why);
        };
        auto firstChar = line.find_first_not_of(" \t\r");
        if (firstChar == std::string_view::npos || line[firstChar] == '#')
            continue;
        std::vector<std::string> words;
        try {
            words = splitWords(line);
        } catch (const std::exception &e) {
            fail(e.what());
        }
        auto rule = std::make_shared<Rule>();
        std::size_t i = 0;
        const std::string &by = words[i++];
        if (by == "any") {
            rule->by = Rule::By::Any;
        } else if (by == "role" || by == "title" || by == "kind") {
            if (i >= words.size())
                fail("\"" + by + "\" needs a pattern");
            rule->pattern = words[i++];
            if (by == "role") {
                rule->by = Rule::By::Role;
            } else if (by == "title") {
                rule->by = Rule::By::Title;
            } else {
                rule->by = Rule::By::Kind;
                auto kind = kindFromName(rule->pattern);
                if (!kind)
                    fail("unknown dialog kind \"" + rule->pattern + "\"");
                rule->kind = *kind;
            }
        } else {
            fail("a rule starts with role, title, kind or any, not \"" + by + "\"");
        }
        if (i >= words.size())
            fail("the rule has no answer");
        auto code = responseFromName(words[i]);
        if (!code)
            fail("unknown answer \"" + words[i] + "\"");
        rule->answer.response = *code;
        for (++i; i < words.size(); ++i) {
            auto [key, value] = keyValue(words[i]);
            if (words[i] == "once") {
                rule->once = true;
            } else if (key == "entry" && words[i].find('=') != std::string::npos) {
                rule->answer.entryText = std::string(value);
            } else if (key == "check" && (value == "on" || value == "off")) {
                rule->answer.checked = value == "on";
            } else if (key == "file" && !value.empty()) {
                rule->answer.fileNames.emplace_back(value);
            } else {
                fail("unknown option \"" + words[i] + "\"");
            }
        }
        script->rules_.push_back(std::move(rule));
    }
    return script;
}

std::shared_ptr<ScriptResponder> ScriptResponder::load(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error(std::string("cannot read it: ") + std::strerror(errno));
    std::ostringstream text;
    text << in.rdbuf();
    return parse(text.str());
}

std::optional<DialogAnswer> ScriptResponder::answer(const DialogRequest &request)
{
    // A process shows its dialogs one at a time from the GTK+ thread, but
    // worker threads may ask too; `used` must not race.
    static std::mutex rulesLock;
    std::lock_guard guard(rulesLock);
    for (auto &rule : rules_) {
        if (rule->used || !rule->matches(request))
            continue;
        if (rule->once)
            rule->used = true;
        return rule->answer;
    }
    return std::nullopt;
}

// ---- the responder of programs without a display ----

OptionsResponder::OptionsResponder(Options options) : options_(std::move(options)) {}

std::optional<DialogAnswer> OptionsResponder::answer(const DialogRequest &request)
{
    DialogAnswer answer;
    auto fixed = options_.answersByRole.find(request.role);
    if (!request.role.empty() && fixed != options_.answersByRole.end()) {
        answer.response = fixed->second;
    } else if (options_.policy == Policy::Affirmative) {
        answer.response = safeResponse(request);
        for (int code : {response::Ok, response::YesToAll, response::Yes})
            if (request.offers(code))
                answer.response = code;
    } else {
        answer.response = safeResponse(request);
    }
    if (options_.report)
        options_.report(request, answer);
    return answer;
}

}  // namespace vorn::dialogs

#include "toolkit/PictureMask.h"

#include "toolkit/Text.h"

#include <QChar>

#include <algorithm>

namespace zen {

namespace {

// A byte that starts no valid UTF-8 sequence decodes to this, which is no code point: only
// "?" matches it, so a text in another encoding fails "&" and literals instead of passing
// them by accident.
constexpr char32_t kStray = 0xFFFFFFFF;

// Decodes the character at text[i] and advances i past it; an invalid sequence (truncated,
// overlong, a surrogate, beyond U+10FFFF) yields kStray for its first byte alone.
char32_t DecodeAt(std::string_view text, size_t& i) {
    char32_t cp = 0;
    const size_t length = Utf8Decode(text, i, cp);
    i += length == 0 ? 1 : length;
    return length == 0 ? kStray : cp;
}

std::vector<char32_t> Decode(std::string_view text) {
    std::vector<char32_t> out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        out.push_back(DecodeAt(text, i));
    }
    return out;
}

// The parsed mask. A repetition keeps its one element in items[0].
enum class NodeKind { Digit, Letter, Any, Literal, Sequence, Optional, Alternatives, Repeat };
constexpr size_t kZeroOrMore = SIZE_MAX;

struct Node {
    Node(NodeKind k, char32_t c = 0) : kind(k), ch(c) {}

    NodeKind kind;
    char32_t ch = 0;
    size_t count = 0; // Repeat: the count, or kZeroOrMore
    std::vector<Node> items;
};

// Which closer ends the sequence being read: none at the top, "]" inside an optional
// part, "," or "}" inside an alternative.
enum class Level { Top, Optional, Alternative };

class Parser {
public:
    explicit Parser(std::string_view mask) : mask_(mask), chars_(Decode(mask)) {}

    Node Parse() {
        for (size_t i = 0; i < chars_.size(); ++i) {
            if (chars_[i] == kStray) {
                Fail(i, "is not valid UTF-8");
            }
        }
        return Sequence(Level::Top);
    }

private:
    [[noreturn]] void Fail(size_t at, const std::string& what) const {
        throw EPictureMaskError("Invalid picture mask \"" + std::string(mask_) + "\": character " +
                                std::to_string(at + 1) + " " + what);
    }

    bool AtEnd() const { return pos_ == chars_.size(); }

    bool EndsSequence(Level level) const {
        if (AtEnd()) {
            return true;
        }
        const char32_t c = chars_[pos_];
        return (level == Level::Optional && c == ']') ||
               (level == Level::Alternative && (c == ',' || c == '}'));
    }

    Node Sequence(Level level) {
        Node seq{NodeKind::Sequence};
        while (!EndsSequence(level)) {
            seq.items.push_back(Element(level));
        }
        return seq;
    }

    Node Element(Level level) {
        const size_t at = pos_;
        const char32_t c = chars_[pos_++];
        // Parsing, compiling and freeing recurse once per level: bound the stack they take.
        if (++depth_ > kMaxDepth) {
            Fail(at, "lies deeper than " + std::to_string(kMaxDepth) +
                         " nested groups and repetitions");
        }
        struct Leave {
            size_t& depth;
            ~Leave() { --depth; }
        } leave{depth_};
        switch (c) {
        case '#':
            return {NodeKind::Digit};
        case '&':
            return {NodeKind::Letter};
        case '?':
            return {NodeKind::Any};
        case ';':
            if (AtEnd()) {
                Fail(at, "(\";\") escapes nothing");
            }
            return {NodeKind::Literal, chars_[pos_++]};
        case '[': {
            Node optional{NodeKind::Optional};
            optional.items.push_back(Sequence(Level::Optional));
            if (AtEnd()) {
                Fail(at, "(\"[\") is never closed by \"]\"");
            }
            ++pos_;
            return optional;
        }
        case '{': {
            Node alternatives{NodeKind::Alternatives};
            for (;;) {
                alternatives.items.push_back(Sequence(Level::Alternative));
                if (AtEnd()) {
                    Fail(at, "(\"{\") is never closed by \"}\"");
                }
                if (chars_[pos_++] == '}') {
                    return alternatives;
                }
            }
        }
        case ']':
            Fail(at, "(\"]\") closes no \"[\"");
        case '}':
            Fail(at, "(\"}\") closes no \"{\"");
        case '*': {
            Node repeat{NodeKind::Repeat};
            repeat.count = kZeroOrMore;
            if (!AtEnd() && chars_[pos_] >= '0' && chars_[pos_] <= '9') {
                // Saturates just past the state limit: any larger count fails that limit.
                repeat.count = 0;
                while (!AtEnd() && chars_[pos_] >= '0' && chars_[pos_] <= '9') {
                    repeat.count = std::min<size_t>(repeat.count * 10 + (chars_[pos_++] - '0'),
                                                    kMaxPictureMaskStates + 1);
                }
            }
            if (EndsSequence(level)) {
                Fail(at, "(\"*\") is followed by no element to repeat");
            }
            repeat.items.push_back(Element(level));
            return repeat;
        }
        default:
            return {NodeKind::Literal, c};
        }
    }

    static constexpr size_t kMaxDepth = 100;

    std::string_view mask_;
    std::vector<char32_t> chars_;
    size_t pos_ = 0;
    size_t depth_ = 0;
};

// The states Compile will make for a node, saturated just past the limit so that nested
// counts ("*9999*9999#") are refused before any memory is spent on them.
size_t StateCost(const Node& node) {
    constexpr size_t kOver = kMaxPictureMaskStates + 1;
    size_t sum = 0;
    for (const Node& item : node.items) {
        sum = std::min(sum + StateCost(item), kOver);
    }
    switch (node.kind) {
    case NodeKind::Sequence:
        return sum;
    case NodeKind::Optional:
    case NodeKind::Alternatives:
        return std::min(sum + 1, kOver);
    case NodeKind::Repeat:
        if (node.count == kZeroOrMore) {
            return std::min(sum + 1, kOver);
        }
        return std::min(node.count * sum, kOver); // both at most kOver: no overflow
    default:
        return 1;
    }
}

} // namespace

// Builds the machine back to front: each node is compiled knowing the state that follows
// it, so no dangling exits need patching and an empty sequence costs no state.
class PictureMaskCompiler {
public:
    using Kind = TPictureMask::Kind;

    explicit PictureMaskCompiler(std::vector<TPictureMask::State>& states) : states_(states) {}

    int Compile(const Node& node, int follow) {
        switch (node.kind) {
        case NodeKind::Digit:
            return Add({Kind::Digit, 0, {follow}});
        case NodeKind::Letter:
            return Add({Kind::Letter, 0, {follow}});
        case NodeKind::Any:
            return Add({Kind::Any, 0, {follow}});
        case NodeKind::Literal:
            return Add({Kind::Literal, node.ch, {follow}});
        case NodeKind::Sequence:
            for (auto it = node.items.rbegin(); it != node.items.rend(); ++it) {
                follow = Compile(*it, follow);
            }
            return follow;
        case NodeKind::Optional:
            return Add({Kind::Fork, 0, {Compile(node.items[0], follow), follow}});
        case NodeKind::Alternatives: {
            std::vector<int> starts;
            for (const Node& alternative : node.items) {
                starts.push_back(Compile(alternative, follow));
            }
            return Add({Kind::Fork, 0, std::move(starts)});
        }
        case NodeKind::Repeat:
            if (node.count == kZeroOrMore) {
                // The loop's fork must exist before its body, which returns to it.
                const int loop = Add({Kind::Fork, 0, {}});
                const int body = Compile(node.items[0], loop);
                states_[loop].next = {body, follow};
                return loop;
            }
            for (size_t i = 0; i < node.count; ++i) {
                follow = Compile(node.items[0], follow);
            }
            return follow;
        }
        return follow;
    }

private:
    int Add(TPictureMask::State state) {
        states_.push_back(std::move(state));
        return static_cast<int>(states_.size() - 1);
    }

    std::vector<TPictureMask::State>& states_;
};

TPictureMask::TPictureMask(std::string_view mask) {
    const Node root = Parser(mask).Parse();
    // The match state and the cost of the rest.
    if (StateCost(root) + 1 > kMaxPictureMaskStates) {
        throw EPictureMaskError("Invalid picture mask \"" + std::string(mask) +
                                "\": its repetitions written out exceed " +
                                std::to_string(kMaxPictureMaskStates) + " states");
    }
    states_.push_back({Kind::Match, 0, {}});
    start_ = PictureMaskCompiler(states_).Compile(root, 0);
}

bool TPictureMask::Matches(std::string_view text, size_t* steps) const {
    const std::vector<char32_t> chars = Decode(text);
    // mark[s] is the last position whose set holds s: each state enters a set at most once
    // per position, which bounds the work and stops loops that consume nothing.
    std::vector<size_t> mark(states_.size(), SIZE_MAX);
    std::vector<int> current, next, pending;
    size_t visits = 0;

    const auto reach = [&](int from, size_t position, std::vector<int>& set) {
        pending.push_back(from);
        while (!pending.empty()) {
            const int s = pending.back();
            pending.pop_back();
            if (mark[s] == position) {
                continue;
            }
            mark[s] = position;
            ++visits;
            if (states_[s].kind == Kind::Fork) {
                pending.insert(pending.end(), states_[s].next.rbegin(), states_[s].next.rend());
            } else {
                set.push_back(s);
            }
        }
    };

    reach(start_, 0, current);
    for (size_t i = 0; i < chars.size() && !current.empty(); ++i) {
        const char32_t c = chars[i];
        next.clear();
        for (const int s : current) {
            const State& state = states_[s];
            bool accepts = false;
            switch (state.kind) {
            case Kind::Digit:
                accepts = c >= '0' && c <= '9';
                break;
            case Kind::Letter:
                accepts = c != kStray && QChar::isLetter(c);
                break;
            case Kind::Any:
                accepts = true;
                break;
            case Kind::Literal:
                accepts = c == state.ch;
                break;
            case Kind::Fork:
            case Kind::Match:
                break;
            }
            if (accepts) {
                reach(state.next[0], i + 1, next);
            }
        }
        current.swap(next);
    }
    if (steps != nullptr) {
        *steps = visits;
    }
    return mark[0] == chars.size();
}

void CheckPictureMask(std::string_view mask) {
    (void)TPictureMask(mask);
}

bool MatchesPictureMask(std::string_view text, std::string_view mask) {
    return TPictureMask(mask).Matches(text);
}

} // namespace zen

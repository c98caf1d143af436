#pragma once
// Picture masks: the pattern a field's text must have before its dataset may post it.
//
// A mask is read character by character (UTF-8; a text is matched by characters, never by
// bytes, and a byte outside valid UTF-8 is one character that only "?" matches). The mask
// must consume the whole text, start to end:
//
//   #        one digit, 0-9 only
//   &        one letter, any Unicode letter (a, Z, č, Š, ž, ß, ...); a separate
//            combining accent is no letter
//   ?        any one character
//   ;c       the character c itself, whatever it is (";#" is a "#", ";;" a ";")
//   [m]      m or nothing: an optional part
//   {m,n,o}  one of the comma-separated alternatives, each a mask itself; an alternative
//            may be empty ("{,-}" is an optional "-"); "{}" and "[]" stand for nothing
//   *Ne      exactly N repetitions of the element e that follows (N decimal digits,
//            "*3#" three digits, "*0#" nothing)
//   *e       zero or more repetitions of e ("*#" any number of digits, "*&" letters)
//   other    any other character is a literal that must be there exactly, case included
//            ("a" does not match "A"); "," separates alternatives only directly inside
//            {} and is a literal elsewhere ("[a,b]", "#,##")
//
// An element is one of the above: a class (# & ?), an escape, a group in [] or {}, a
// repetition, or a literal. Groups nest freely ("{[+]386,0}*8#"). To repeat a literal
// digit escape it: "*3;5" is "555", "*35" would be 35 repetitions of the following element.
// The empty mask matches only the empty text (a dataset that wants "no check" skips an
// empty mask itself). "@" has no meaning of its own: it is a literal.
//
// A malformed mask raises EPictureMaskError naming the fault and its character position
// (1-based): an unclosed "[" or "{", a "]" or "}" that closes nothing, a ";" at the end, a
// "*" (with or without count) followed by no element, a mask that is not UTF-8, groups and
// repetitions nested more than 100 deep, or repetitions that written out exceed
// kMaxPictureMaskStates.
//
// Matching never backtracks: the mask is compiled into a state machine that follows every
// reading at once, so ambiguous masks ("*#[.##]" on "12.50", "{Mr,Mrs}" on "Mrs") need no
// retries and work is bounded by (characters + 1) * StateCount() whatever mask and text.

#include "toolkit/Exceptions.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zen {

ZEN_EXCEPTION_CLASS(EPictureMaskError, Exception);

// The toolkit's user message for a text that fails its picture mask; the caller appends
// the field's display name.
inline constexpr const char* kPictureInvalidMessage = "Invalid characters. Field : ";

// The most states a compiled mask may have, its end state included ("*1999#" is the
// largest run of digits). It keeps a hostile mask on a long text under a second of work.
inline constexpr size_t kMaxPictureMaskStates = 2000;

class TPictureMask {
public:
    // Compiles the mask; raises EPictureMaskError when it is malformed.
    explicit TPictureMask(std::string_view mask);

    // True when the whole text matches. `steps`, when given, receives the work done: the
    // number of state visits, never more than (characters + 1) * StateCount().
    bool Matches(std::string_view text, size_t* steps = nullptr) const;

    size_t StateCount() const { return states_.size(); }

private:
    // One state of the machine. A character state consumes one character of its class and
    // goes on to next[0]; a fork consumes nothing and goes on to every state of `next`.
    enum class Kind : uint8_t { Digit, Letter, Any, Literal, Fork, Match };
    struct State {
        Kind kind;
        char32_t ch = 0; // Literal only
        std::vector<int> next;
    };
    friend class PictureMaskCompiler;

    std::vector<State> states_;
    int start_ = 0;
};

// Raises EPictureMaskError when the mask is malformed.
void CheckPictureMask(std::string_view mask);
// One-off match of a text against a mask; a malformed mask raises EPictureMaskError.
bool MatchesPictureMask(std::string_view text, std::string_view mask);

} // namespace zen

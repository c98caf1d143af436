#include "pricing/Formula.h"

#include "toolkit/Exceptions.h"
#include "toolkit/NumberText.h"

#include <charconv>
#include <optional>
#include <utility>

namespace zen {

namespace {

bool IsOperator(char c) {
    return c == '*' || c == '+' || c == '-' || c == '/';
}

// A group's value as the rest of the expression sees it: fixed, five decimals, a point.
std::string FormatGroupValue(double v) {
    // The largest double in fixed notation has 309 integer digits.
    char buf[400];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 5);
    if (ec != std::errc()) {
        throw EConvertError("Cannot format a formula value");
    }
    return std::string(buf, end);
}

enum class TTermKind { Single, Operator, Failed };

// The outcome of reading the start of an expression. After a group has been replaced by
// its value the expression is `Head` followed by the untouched rest of the input, so the
// right-hand side can stay a view into the caller's text.
struct TTerm {
    TTermKind Kind = TTermKind::Failed;
    double Value = 0;
    std::string Head;         // the replaced group's value text, or empty
    std::string_view Rest;    // the input after the group (all of it when there was none)
    size_t OperatorIndex = 0; // within Rest
};

// Once an error text is set, most steps stop without a value (nullopt). The one error that
// leaves a value is a final zero divisor: its step yields 0, and the sums and groups around
// it carry on with that 0, so "23+9/0" is still 23.
class TEvaluator {
public:
    explicit TEvaluator(std::string& error) : error_(error) {}

    TTerm ReadTerm(std::string_view s, int depth);
    std::optional<double> Arithmetic(std::string_view s, char op, double acc, int depth);

private:
    void Fail(std::string_view text) { error_.assign(text); }
    double Apply(char op, double acc, double v);

    std::string& error_;
};

TTerm TEvaluator::ReadTerm(std::string_view s, int depth) {
    TTerm t;
    t.Rest = s;
    if (s.empty()) {
        t.Kind = TTermKind::Single;
        return t;
    }
    if (s[0] == '(') {
        if (depth >= kMaxFormulaNesting) {
            Fail(kErrTooDeep);
            return t;
        }
        int level = 1;
        size_t i = 1;
        for (; i < s.size() && level > 0; ++i) {
            if (s[i] == '(') {
                ++level;
            } else if (s[i] == ')') {
                --level;
            }
        }
        if (level != 0) {
            // Carries on with the text unchanged; a later step may replace this error.
            Fail(kErrUnbalanced);
        } else {
            std::optional<double> v = Arithmetic(s.substr(1, i - 2), '+', 0, depth + 1);
            if (!v) {
                // Nothing after a group without a value can have one; its own error stands.
                return t;
            }
            t.Head = FormatGroupValue(*v);
            t.Rest = s.substr(i);
        }
    }
    if (t.Head.empty() && (s[0] == '*' || s[0] == '/')) {
        Fail(kErrMissingOperand);
    }
    // An operator in the first position is a sign. The group's value text holds none past
    // its first character, so the search can start in the rest.
    for (size_t k = t.Head.empty() ? 1 : 0; k < t.Rest.size(); ++k) {
        if (IsOperator(t.Rest[k])) {
            t.Kind = TTermKind::Operator;
            t.OperatorIndex = k;
            return t;
        }
    }
    std::string text = t.Head;
    text.append(t.Rest);
    // A number token: the common grammar, no blanks, finite (toolkit/NumberText.h).
    if (ParseDecimal(text, t.Value)) {
        t.Kind = TTermKind::Single;
    } else {
        Fail(std::string(kErrBadNumber) + text);
    }
    return t;
}

double TEvaluator::Apply(char op, double acc, double v) {
    switch (op) {
    case '*':
        return acc * v;
    case '+':
        return acc + v;
    case '-':
        return acc - v;
    case '/':
        if (v == 0) {
            Fail(kErrDivByZero);
            return 0;
        }
        return acc / v;
    default:
        throw EInvalidOperation(std::string("Unknown formula operator '") + op + "'");
    }
}

// "a * rest" and "a / rest" carry on with the product as the accumulator, while
// "a + rest" and "a - rest" evaluate the whole rest first. Walked in a loop with the
// pending sums on a heap stack, so that a long chain cannot exhaust the call stack.
std::optional<double> TEvaluator::Arithmetic(std::string_view s, char op, double acc, int depth) {
    std::vector<std::pair<double, char>> pending;
    double result = 0;
    for (;;) {
        if (!error_.empty()) {
            return std::nullopt;
        }
        TTerm t = ReadTerm(s, depth);
        if (t.Kind == TTermKind::Failed) {
            return std::nullopt;
        }
        // A single term is applied even after a group's zero divisor set the error text.
        if (t.Kind == TTermKind::Single) {
            result = Apply(op, acc, t.Value);
            break;
        }
        // The left operand of an operator is read only while the text is clean. It holds no
        // operator past its sign and no group, so this goes one level down at most.
        if (!error_.empty()) {
            return std::nullopt;
        }
        std::string left = t.Head;
        left.append(t.Rest.substr(0, t.OperatorIndex));
        std::optional<double> leftValue = Arithmetic(left, '+', 0, depth);
        if (!leftValue) {
            return std::nullopt;
        }
        double c = *leftValue;
        switch (op) {
        case '*':
            acc *= c;
            break;
        case '/':
            if (c == 0) {
                throw EZeroDivide("Floating point division by zero");
            }
            acc /= c;
            break;
        case '+':
        case '-':
            pending.emplace_back(acc, op);
            acc = c;
            break;
        default:
            throw EInvalidOperation(std::string("Unknown formula operator '") + op + "'");
        }
        op = t.Rest[t.OperatorIndex];
        s = t.Rest.substr(t.OperatorIndex + 1);
    }
    for (auto it = pending.rbegin(); it != pending.rend(); ++it) {
        result = it->second == '+' ? it->first + result : it->first - result;
    }
    return result;
}

} // namespace

bool SplitAtOperator(std::string_view op, std::string_view text, std::string_view& left,
                     std::string_view& right) {
    size_t k = text.find(op);
    if (op.empty() || k == std::string_view::npos) {
        return false;
    }
    left = text.substr(0, k);
    right = text.substr(k + op.size());
    return true;
}

double EvalArithmetic(std::string_view expression, char op, double acc, std::string& error) {
    return TEvaluator(error).Arithmetic(expression, op, acc, 0).value_or(0);
}

bool EvalTerm(std::string& expression, size_t& position, double& value, std::string& error) {
    TTerm t = TEvaluator(error).ReadTerm(expression, 0);
    position = std::string::npos;
    if (t.Kind == TTermKind::Operator) {
        position = t.Head.size() + t.OperatorIndex;
    } else if (t.Kind == TTermKind::Single) {
        value = t.Value;
    }
    if (!t.Head.empty()) {
        expression = t.Head + std::string(t.Rest);
    }
    return t.Kind == TTermKind::Single;
}

bool EvalCondition(std::string_view condition, std::string& error) {
    // "=" first, so "<=" and ">=" split at their "=" and fail on the left part.
    static constexpr std::string_view kOps[] = {"=", "<>", ">", "<"};
    for (std::string_view op : kOps) {
        std::string_view left, right;
        if (!SplitAtOperator(op, condition, left, right)) {
            continue;
        }
        double a = EvalArithmetic(left, '+', 0, error);
        double b = 0;
        if (error.empty()) {
            b = EvalArithmetic(right, '+', 0, error);
        }
        if (!error.empty()) {
            return false;
        }
        if (op == "=") {
            return a == b;
        }
        if (op == "<>") {
            return a != b;
        }
        return op == ">" ? a > b : a < b;
    }
    error.assign(kErrNoComparison);
    return false;
}

std::vector<TFormulaUnit> SplitFormulaUnits(std::string_view text, std::string& error) {
    std::vector<TFormulaUnit> units;
    std::string_view s = text;
    while (!s.empty()) {
        size_t open = s.find('[');
        if (open == std::string_view::npos) {
            units.push_back({"1=1", std::string(s)});
            break;
        }
        if (open > 0) {
            error.assign(kErrUnitFirst);
            break;
        }
        // "[" at 0: the shortest unit is "[a:b]", so "]" must stand at 4 or later and a
        // character must stand between ":" and "]".
        size_t close = s.find(']');
        if (close == std::string_view::npos || close < 4) {
            error.assign(kErrUnitClose);
            break;
        }
        size_t colon = s.find(':');
        if (colon == std::string_view::npos || colon + 2 > close) {
            error.assign(kErrUnitShape);
            break;
        }
        units.push_back({std::string(s.substr(1, colon - 1)),
                         std::string(s.substr(colon + 1, close - colon - 1))});
        s = s.substr(close + 1);
    }
    return units;
}

TFormulaResult EvalFormula(std::string_view text) {
    TFormulaResult r;
    std::vector<TFormulaUnit> units = SplitFormulaUnits(text, r.Error);
    if (!r.Error.empty()) {
        return r;
    }
    // An error in a condition that does not hold leaves the search going, but no later
    // condition can hold with the error text set: the value is then 0.
    for (const TFormulaUnit& unit : units) {
        if (EvalCondition(unit.Condition, r.Error)) {
            r.Value = EvalArithmetic(unit.Expression, '+', 0, r.Error);
            break;
        }
    }
    return r;
}

} // namespace zen

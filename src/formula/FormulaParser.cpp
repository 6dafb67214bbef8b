// The formula's lexer and recursive-descent parser: text to a tree of Nodes, with every limit
// checked here so that evaluation never meets an unbounded period or an unbounded depth.
#include "formula/Formula.h"

#include <algorithm>
#include <cstdlib>
#include <string>

namespace velor::formula {

namespace {

enum class Tok { End, Number, Name, Plus, Minus, Star, Slash, Gt, Lt, Ge, Le, Eq, Ne, And, Or, Not,
                 LParen, RParen, LBracket, RBracket, Comma, Bad };

struct Token {
    Tok kind = Tok::End;
    int pos = 0, len = 0;
    QString name;      ///< upper-case name
    double number = 0;
};

// Full-width forms (what a Japanese input method gives) read as their ASCII forms, one for one.
QChar narrow(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= 0xFF01 && u <= 0xFF5E) return QChar(char16_t(u - 0xFF01 + 0x21));
    if (u == 0x3000) return QChar(u' ');
    return c;
}

struct FunctionInfo {
    const char *name;
    Op op;
    int args;          ///< 1: (n); 2: (x,n); 3: (a,b)
    int minPeriod, maxPeriod;
};

constexpr FunctionInfo kFunctions[] = {
    {"MA", Op::Ma, 2, 1, kMaxPeriod},       {"EMA", Op::Ema, 2, 1, kMaxEmaPeriod},
    {"HHV", Op::Hhv, 2, 1, kMaxPeriod},     {"LLV", Op::Llv, 2, 1, kMaxPeriod},
    {"ROC", Op::Roc, 2, 1, kMaxPeriod},     {"REF", Op::Ref, 2, 0, kMaxPeriod},
    {"CROSS", Op::Cross, 3, 0, 0},          {"RSI", Op::Rsi, 1, 1, kMaxPeriod},
    {"RCI", Op::Rci, 1, 2, kMaxPeriod},     {"KAIRI", Op::Kairi, 1, 1, kMaxPeriod},
    {"PSY", Op::Psy, 1, 1, kMaxPeriod},
};

struct FieldInfo {
    const char *name;
    Op op;
};
constexpr FieldInfo kFields[] = {{"O", Op::Open}, {"H", Op::High}, {"L", Op::Low}, {"C", Op::Close},
                                 {"V", Op::Volume}, {"TURNOVER", Op::Turnover}};

QString argumentsText(const FunctionInfo &f)
{
    const QString name = QString::fromLatin1(f.name);
    if (f.args == 1) return name + QStringLiteral("(n) の形で、期間 n を 1 つ書きます");
    if (f.args == 2) return name + QStringLiteral("(x,n) の形で、値 x と期間 n の 2 つを書きます");
    return name + QStringLiteral("(a,b) の形で、値を 2 つ書きます");
}

} // namespace

class Parser {
public:
    explicit Parser(const QString &text) : m_text(text)
    {
        for (QChar c : text) m_chars.push_back(narrow(c));
    }

    std::expected<Program, Error> run()
    {
        Program p;
        p.m_text = m_text;
        if (m_text.size() > kMaxTextLength)
            return fail(kMaxTextLength, QStringLiteral("条件式が長すぎます（") + QString::number(kMaxTextLength) +
                                            QStringLiteral(" 文字まで）"));
        next();
        if (m_error) return std::unexpected(*m_error);
        if (m_tok.kind == Tok::End) return fail(0, QStringLiteral("条件式が空です"));
        const int root = orExpr();
        if (m_error) return std::unexpected(*m_error);
        if (m_tok.kind == Tok::RParen) return fail(m_tok.pos, QStringLiteral("対応する「(」のない「)」があります"));
        if (m_tok.kind != Tok::End) return fail(m_tok.pos, QStringLiteral("式の後に余分な文字があります"));
        p.m_nodes = std::move(m_nodes);
        p.m_root = root;
        p.m_lookback = m_lookback[size_t(root)];
        if (p.m_lookback > kBarTableSize - 3)
            return fail(0, QStringLiteral("さかのぼる本数の合計が長すぎます（") + QString::number(kBarTableSize - 3) +
                               QStringLiteral(" 本まで）"));
        return p;
    }

private:
    std::expected<Program, Error> fail(int pos, const QString &message) { return std::unexpected(Error{pos, message}); }

    // Records the first error; parsing unwinds with -1 from there.
    int error(int pos, const QString &message)
    {
        if (!m_error) m_error = Error{pos, message};
        return -1;
    }

    QChar at(int i) const { return i < int(m_chars.size()) ? m_chars[size_t(i)] : QChar(); }

    void next()
    {
        int i = m_pos;
        while (i < int(m_chars.size()) && (at(i) == u' ' || at(i) == u'\t' || at(i) == u'\r' || at(i) == u'\n')) ++i;
        m_tok = Token{};
        m_tok.pos = i;
        if (i >= int(m_chars.size())) {
            m_tok.kind = Tok::End;
            m_pos = i;
            return;
        }
        const QChar c = at(i);
        if ((c.isDigit() && c.unicode() < 128) || (c == u'.' && at(i + 1).unicode() < 128 && at(i + 1).isDigit())) {
            int j = i;
            while (at(j).unicode() < 128 && at(j).isDigit()) ++j;
            if (at(j) == u'.') {
                ++j;
                while (at(j).unicode() < 128 && at(j).isDigit()) ++j;
            }
            if ((at(j) == u'e' || at(j) == u'E') &&
                ((at(j + 1).unicode() < 128 && at(j + 1).isDigit()) ||
                 ((at(j + 1) == u'+' || at(j + 1) == u'-') && at(j + 2).unicode() < 128 && at(j + 2).isDigit()))) {
                j += 2;
                while (at(j).unicode() < 128 && at(j).isDigit()) ++j;
            }
            std::string digits;
            for (int k = i; k < j; ++k) digits.push_back(char(at(k).unicode()));
            const double v = std::strtod(digits.c_str(), nullptr);
            m_pos = j;
            if (!std::isfinite(v)) {
                m_tok.kind = Tok::Bad;
                error(i, QStringLiteral("数が大きすぎます"));
                return;
            }
            m_tok.kind = Tok::Number;
            m_tok.number = v;
            m_tok.len = j - i;
            return;
        }
        if (c.unicode() < 128 && (c.isLetter() || c == u'_')) {
            int j = i;
            while (at(j).unicode() < 128 && (at(j).isLetterOrNumber() || at(j) == u'_')) ++j;
            m_tok.kind = Tok::Name;
            for (int k = i; k < j; ++k) m_tok.name += at(k).toUpper();
            m_tok.len = j - i;
            m_pos = j;
            if (m_tok.name == u"AND") m_tok.kind = Tok::And;
            else if (m_tok.name == u"OR") m_tok.kind = Tok::Or;
            else if (m_tok.name == u"NOT") m_tok.kind = Tok::Not;
            return;
        }
        const QChar d = at(i + 1);
        auto two = [&](Tok k) { m_tok.kind = k, m_tok.len = 2, m_pos = i + 2; };
        auto one = [&](Tok k) { m_tok.kind = k, m_tok.len = 1, m_pos = i + 1; };
        switch (c.unicode()) {
        case u'+': return one(Tok::Plus);
        case u'-': return one(Tok::Minus);
        case u'*': return one(Tok::Star);
        case u'/': return one(Tok::Slash);
        case u'(': return one(Tok::LParen);
        case u')': return one(Tok::RParen);
        case u'[': return one(Tok::LBracket);
        case u']': return one(Tok::RBracket);
        case u',': return one(Tok::Comma);
        case u'&': return d == u'&' ? two(Tok::And) : one(Tok::And);
        case u'|': return d == u'|' ? two(Tok::Or) : one(Tok::Or);
        case u'>': return d == u'=' ? two(Tok::Ge) : one(Tok::Gt);
        case u'<': return d == u'=' ? two(Tok::Le) : d == u'>' ? two(Tok::Ne) : one(Tok::Lt);
        case u'=': return d == u'=' ? two(Tok::Eq) : one(Tok::Eq);
        case u'!': return d == u'=' ? two(Tok::Ne) : one(Tok::Not);
        default: break;
        }
        m_tok.kind = Tok::Bad;
        m_pos = i + 1;
        error(i, QStringLiteral("使えない文字「") + m_text.mid(i, 1) + QStringLiteral("」があります"));
    }

    int add(Op op, int a = -1, int b = -1, int n = 0, double number = 0)
    {
        if (m_error) return -1;
        m_nodes.push_back(Node{op, a, b, n, number});
        int look = 0;
        const auto la = a >= 0 ? m_lookback[size_t(a)] : 0, lb = b >= 0 ? m_lookback[size_t(b)] : 0;
        switch (op) {
        case Op::Ref: case Op::Roc: look = la + n; break;
        case Op::Ma: case Op::Hhv: case Op::Llv: look = la + n - 1; break;
        case Op::Ema: look = la + 4 * n - 1; break;
        case Op::Cross: look = std::max(la, lb) + 1; break;
        case Op::Rsi: case Op::Rci: case Op::Kairi: case Op::Psy: look = n; break;
        default: look = std::max(la, lb);
        }
        // Sums stay far from overflow: each step adds at most 4 × 1500 to a value capped here.
        m_lookback.push_back(std::min(look, 1 << 20));
        return int(m_nodes.size()) - 1;
    }

    bool enter(int pos)
    {
        if (++m_depth > kMaxDepth) {
            error(pos, QStringLiteral("括弧や関数の入れ子が深すぎます（") + QString::number(kMaxDepth) +
                           QStringLiteral(" 段まで）"));
            return false;
        }
        return true;
    }

    int orExpr()
    {
        int left = andExpr();
        while (!m_error && m_tok.kind == Tok::Or) {
            next();
            left = add(Op::Or, left, andExpr());
        }
        return m_error ? -1 : left;
    }

    int andExpr()
    {
        int left = notExpr();
        while (!m_error && m_tok.kind == Tok::And) {
            next();
            left = add(Op::And, left, notExpr());
        }
        return m_error ? -1 : left;
    }

    int notExpr()
    {
        if (m_tok.kind != Tok::Not) return comparison();
        const int pos = m_tok.pos;
        if (!enter(pos)) return -1;
        next();
        const int operand = notExpr();
        --m_depth;
        return m_error ? -1 : add(Op::Not, operand);
    }

    int comparison()
    {
        const int left = additive();
        if (m_error) return -1;
        const auto opOf = [](Tok t) -> std::optional<Op> {
            switch (t) {
            case Tok::Gt: return Op::Gt;
            case Tok::Lt: return Op::Lt;
            case Tok::Ge: return Op::Ge;
            case Tok::Le: return Op::Le;
            case Tok::Eq: return Op::Eq;
            case Tok::Ne: return Op::Ne;
            default: return std::nullopt;
            }
        };
        const auto op = opOf(m_tok.kind);
        if (!op) return left;
        next();
        const int right = additive();
        if (m_error) return -1;
        if (opOf(m_tok.kind))
            return error(m_tok.pos, QStringLiteral("比較は続けて書けません（AND でつないでください）"));
        return add(*op, left, right);
    }

    int additive()
    {
        int left = term();
        while (!m_error && (m_tok.kind == Tok::Plus || m_tok.kind == Tok::Minus)) {
            const Op op = m_tok.kind == Tok::Plus ? Op::Add : Op::Sub;
            next();
            left = add(op, left, term());
        }
        return m_error ? -1 : left;
    }

    int term()
    {
        int left = unary();
        while (!m_error && (m_tok.kind == Tok::Star || m_tok.kind == Tok::Slash)) {
            const Op op = m_tok.kind == Tok::Star ? Op::Mul : Op::Div;
            next();
            left = add(op, left, unary());
        }
        return m_error ? -1 : left;
    }

    int unary()
    {
        if (m_tok.kind != Tok::Minus && m_tok.kind != Tok::Plus) return postfix();
        const bool minus = m_tok.kind == Tok::Minus;
        if (!enter(m_tok.pos)) return -1;
        next();
        const int operand = unary();
        --m_depth;
        if (m_error) return -1;
        return minus ? add(Op::Neg, operand) : operand;
    }

    // A whole number in the text, for a period or an offset.
    std::optional<int> wholeNumber(int minimum, int maximum, const QString &what)
    {
        const Token t = m_tok;
        bool negative = false;
        if (t.kind == Tok::Minus) {
            negative = true;
            next();
        }
        if (m_error) return std::nullopt;
        const QString range = QString::number(minimum) + QStringLiteral(" から ") + QString::number(maximum) +
                              QStringLiteral(" までの整数");
        if (m_tok.kind != Tok::Number || m_tok.number != std::floor(m_tok.number)) {
            error(t.pos, what + QStringLiteral("には ") + range + QStringLiteral("を書きます"));
            return std::nullopt;
        }
        const double v = negative ? -m_tok.number : m_tok.number;
        if (v < minimum || v > maximum) {
            error(t.pos, what + QStringLiteral("は ") + range + QStringLiteral("です"));
            return std::nullopt;
        }
        next();
        return int(v);
    }

    int postfix()
    {
        int node = primary();
        while (!m_error && m_tok.kind == Tok::LBracket) {
            const int open = m_tok.pos;
            next();
            const auto n = wholeNumber(0, kMaxPeriod, QStringLiteral("「[ ]」の中"));
            if (!n) return -1;
            if (m_tok.kind != Tok::RBracket) return error(m_tok.pos, QStringLiteral("「]」がありません（「[」は ") +
                                                                       QString::number(open + 1) + QStringLiteral(" 文字目）"));
            next();
            node = add(Op::Ref, node, -1, *n);
        }
        return m_error ? -1 : node;
    }

    int primary()
    {
        const Token t = m_tok;
        switch (t.kind) {
        case Tok::Number:
            next();
            return add(Op::Number, -1, -1, 0, t.number);
        case Tok::LParen: {
            if (!enter(t.pos)) return -1;
            next();
            const int inner = orExpr();
            if (m_error) return -1;
            if (m_tok.kind != Tok::RParen)
                return error(m_tok.pos, QStringLiteral("「)」がありません（「(」は ") + QString::number(t.pos + 1) +
                                            QStringLiteral(" 文字目）"));
            --m_depth;
            next();
            return inner;
        }
        case Tok::Name: return name(t);
        case Tok::End: return error(t.pos, QStringLiteral("式が途中で終わっています"));
        case Tok::Bad: return -1;
        case Tok::RParen: return error(t.pos, QStringLiteral("「)」の前に値がありません"));
        default:
            return error(t.pos, QStringLiteral("ここには値・項目・関数を書きます（「") + m_text.mid(t.pos, t.len) +
                                    QStringLiteral("」は置けません）"));
        }
    }

    int name(const Token &t)
    {
        for (const FieldInfo &f : kFields)
            if (t.name == QLatin1String(f.name)) {
                next();
                if (m_tok.kind == Tok::LParen)
                    return error(t.pos, t.name + QStringLiteral(" は関数ではありません（前の足は ") + t.name +
                                            QStringLiteral("[1] と書きます）"));
                return add(f.op);
            }
        const FunctionInfo *fn = nullptr;
        for (const FunctionInfo &f : kFunctions)
            if (t.name == QLatin1String(f.name)) fn = &f;
        if (!fn) return error(t.pos, QStringLiteral("「") + m_text.mid(t.pos, t.len) + QStringLiteral("」という項目や関数はありません"));
        next();
        if (m_tok.kind != Tok::LParen) return error(t.pos, t.name + QStringLiteral(" の後には「(」が必要です（") + argumentsText(*fn) + QStringLiteral("）"));
        const int open = m_tok.pos;
        if (!enter(open)) return -1;
        next();
        int a = -1, b = -1, n = 0;
        const QString period = t.name + QStringLiteral(" の期間");
        auto comma = [&]() {
            if (m_tok.kind == Tok::Comma) {
                next();
                return true;
            }
            error(m_tok.kind == Tok::RParen ? t.pos : m_tok.pos,
                  QStringLiteral("引数の数が違います。") + argumentsText(*fn));
            return false;
        };
        if (fn->args == 1) {
            const auto v = wholeNumber(fn->minPeriod, fn->maxPeriod, period);
            if (!v) return -1;
            n = *v;
        } else {
            a = orExpr();
            if (m_error || !comma()) return -1;
            if (fn->args == 3) {
                b = orExpr();
                if (m_error) return -1;
            } else {
                const auto v = wholeNumber(fn->minPeriod, fn->maxPeriod, period);
                if (!v) return -1;
                n = *v;
            }
        }
        if (m_tok.kind == Tok::Comma) return error(t.pos, QStringLiteral("引数の数が違います。") + argumentsText(*fn));
        if (m_tok.kind != Tok::RParen)
            return error(m_tok.pos, QStringLiteral("「)」がありません（「(」は ") + QString::number(open + 1) +
                                        QStringLiteral(" 文字目）"));
        --m_depth;
        next();
        return add(fn->op, a, b, n);
    }

    const QString &m_text;
    std::vector<QChar> m_chars;
    int m_pos = 0;
    int m_depth = 0;
    Token m_tok;
    std::optional<Error> m_error;
    std::vector<Node> m_nodes;
    std::vector<int> m_lookback;
};

std::expected<Program, Error> compile(const QString &text) { return Parser(text).run(); }

} // namespace velor::formula

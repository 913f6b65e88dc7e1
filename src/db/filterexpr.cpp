#include "db/filterexpr.h"

#include "db/dataset.h"
#include "db/dberror.h"
#include "db/sqltext.h"

struct TFilterNode {
    enum Op { And, Or, Not, Compare, IsNull, IsNotNull } op = Compare;
    std::unique_ptr<TFilterNode> left, right;
    QString fieldName;
    const TNField* field = nullptr;
    QString comparison;  // = <> < > <= >=
    QVariant constant;
};

namespace {

class Parser {
public:
    Parser(const QString& text) : m_text(text), m_tokens(TokenizeSql(text)) {}

    std::unique_ptr<TFilterNode> Parse()
    {
        auto node = Expr();
        if (m_pos < m_tokens.size())
            Fail();
        return node;
    }

private:
    [[noreturn]] void Fail() const { throw EDatabaseError(QStringLiteral("Filter: cannot read \"%1\"").arg(m_text)); }
    bool AtWord(const char* word) const
    {
        return m_pos < m_tokens.size() && m_tokens[m_pos].Kind == TSqlTokenKind::Word &&
               m_tokens[m_pos].Text.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
    }
    bool AtSymbol(const char* symbol) const
    {
        return m_pos < m_tokens.size() && m_tokens[m_pos].Kind == TSqlTokenKind::Symbol &&
               m_tokens[m_pos].Text == QLatin1String(symbol);
    }
    std::unique_ptr<TFilterNode> Binary(TFilterNode::Op op, std::unique_ptr<TFilterNode> l,
                                        std::unique_ptr<TFilterNode> r)
    {
        auto node = std::make_unique<TFilterNode>();
        node->op = op;
        node->left = std::move(l);
        node->right = std::move(r);
        return node;
    }
    std::unique_ptr<TFilterNode> Expr()
    {
        auto node = Term();
        while (AtWord("or")) {
            ++m_pos;
            node = Binary(TFilterNode::Or, std::move(node), Term());
        }
        return node;
    }
    std::unique_ptr<TFilterNode> Term()
    {
        auto node = Factor();
        while (AtWord("and")) {
            ++m_pos;
            node = Binary(TFilterNode::And, std::move(node), Factor());
        }
        return node;
    }
    std::unique_ptr<TFilterNode> Factor()
    {
        if (AtWord("not")) {
            ++m_pos;
            return Binary(TFilterNode::Not, Factor(), nullptr);
        }
        if (AtSymbol("(")) {
            ++m_pos;
            auto node = Expr();
            if (!AtSymbol(")"))
                Fail();
            ++m_pos;
            return node;
        }
        return Comparison();
    }
    QString Operator()
    {
        QString op;
        while (m_pos < m_tokens.size() && m_tokens[m_pos].Kind == TSqlTokenKind::Symbol &&
               QStringLiteral("=<>!").contains(m_tokens[m_pos].Text) && op.size() < 2) {
            op += m_tokens[m_pos].Text;
            ++m_pos;
        }
        if (op == QLatin1String("!="))
            op = QStringLiteral("<>");
        static const QStringList known = {QStringLiteral("="), QStringLiteral("<>"), QStringLiteral("<"),
                                          QStringLiteral(">"), QStringLiteral("<="), QStringLiteral(">=")};
        if (!known.contains(op))
            Fail();
        return op;
    }
    QVariant Constant()
    {
        if (m_pos >= m_tokens.size())
            Fail();
        bool negative = false;
        if (AtSymbol("-")) {
            negative = true;
            ++m_pos;
        }
        if (m_pos >= m_tokens.size())
            Fail();
        const TSqlToken& t = m_tokens[m_pos++];
        if (t.Kind == TSqlTokenKind::Number) {
            bool ok = false;
            const qlonglong n = t.Text.toLongLong(&ok);
            if (ok)
                return negative ? QVariant(-n) : QVariant(n);
            const double d = t.Text.toDouble(&ok);
            if (!ok)
                Fail();
            return negative ? -d : d;
        }
        if (negative)
            Fail();
        if (t.Kind == TSqlTokenKind::String)
            return t.Text;
        if (t.Kind == TSqlTokenKind::Word) {
            if (t.Text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
                return true;
            if (t.Text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
                return false;
            if (t.Text.compare(QLatin1String("null"), Qt::CaseInsensitive) == 0)
                return QVariant();
        }
        Fail();
    }
    std::unique_ptr<TFilterNode> Comparison()
    {
        if (m_pos >= m_tokens.size() ||
            (m_tokens[m_pos].Kind != TSqlTokenKind::Word && m_tokens[m_pos].Kind != TSqlTokenKind::QuotedName))
            Fail();
        auto node = std::make_unique<TFilterNode>();
        node->fieldName = m_tokens[m_pos++].Text;
        if (AtWord("is")) {
            ++m_pos;
            node->op = TFilterNode::IsNull;
            if (AtWord("not")) {
                ++m_pos;
                node->op = TFilterNode::IsNotNull;
            }
            if (!AtWord("null"))
                Fail();
            ++m_pos;
            return node;
        }
        node->comparison = Operator();
        node->constant = Constant();
        if (IsNullValue(node->constant))
            node->op = node->comparison == QLatin1String("=") ? TFilterNode::IsNull : TFilterNode::IsNotNull;
        return node;
    }

    QString m_text;
    QList<TSqlToken> m_tokens;
    qsizetype m_pos = 0;
};

void BindNode(TFilterNode* node, const TNDataSet& dataSet)
{
    if (!node)
        return;
    if (!node->fieldName.isEmpty())
        node->field = dataSet.FieldByName(node->fieldName);
    BindNode(node->left.get(), dataSet);
    BindNode(node->right.get(), dataSet);
}

bool CompareMatches(const TFilterNode& node, const QVariant& value, bool caseInsensitive)
{
    if (IsNullValue(value))
        return false;
    const TFieldKind kind = node.field->Kind();
    int c = 0;
    if (IsTextKind(kind)) {
        const QString text = value.toString();
        QString constant = node.constant.toString();
        const Qt::CaseSensitivity cs = caseInsensitive ? Qt::CaseInsensitive : Qt::CaseSensitive;
        if (node.comparison == QLatin1String("=") && constant.endsWith(u'*')) {
            constant.chop(1);
            return text.startsWith(constant, cs);
        }
        c = text.compare(constant, cs);
    } else {
        bool ok = false;
        const QVariant constant = ConvertToKind(kind, node.constant, &ok);
        if (!ok)
            return false;
        c = CompareValues(kind, value, constant);
    }
    const QString& op = node.comparison;
    if (op == QLatin1String("="))
        return c == 0;
    if (op == QLatin1String("<>"))
        return c != 0;
    if (op == QLatin1String("<"))
        return c < 0;
    if (op == QLatin1String(">"))
        return c > 0;
    if (op == QLatin1String("<="))
        return c <= 0;
    return c >= 0;
}

bool Evaluate(const TFilterNode& node, const TNRecord& record, bool caseInsensitive)
{
    switch (node.op) {
        case TFilterNode::And:
            return Evaluate(*node.left, record, caseInsensitive) && Evaluate(*node.right, record, caseInsensitive);
        case TFilterNode::Or:
            return Evaluate(*node.left, record, caseInsensitive) || Evaluate(*node.right, record, caseInsensitive);
        case TFilterNode::Not:
            return !Evaluate(*node.left, record, caseInsensitive);
        case TFilterNode::IsNull:
            return IsNullValue(record.Value(node.field));
        case TFilterNode::IsNotNull:
            return !IsNullValue(record.Value(node.field));
        case TFilterNode::Compare:
            return CompareMatches(node, record.Value(node.field), caseInsensitive);
    }
    return false;
}

}  // namespace

TNFilterExpr::TNFilterExpr(const QString& text) : m_root(Parser(text).Parse()) {}

TNFilterExpr::~TNFilterExpr() = default;

void TNFilterExpr::Bind(const TNDataSet& dataSet)
{
    BindNode(m_root.get(), dataSet);
}

bool TNFilterExpr::Matches(const TNRecord& record, bool caseInsensitive) const
{
    return Evaluate(*m_root, record, caseInsensitive);
}

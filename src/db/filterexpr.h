#pragma once
// The row filter text of a dataset: comparisons of a field with a constant
// joined by AND, OR, NOT and parentheses, as in
//   GroupID=5
//   (Name = 'Smith' or Name='Jones') and Prune <> True
//   HostName is null
// Operators: = <> != < > <= >=, IS [NOT] NULL. Constants: numbers, 'text'
// (a doubled quote stands for itself), True, False, Null. A text constant
// ending in "*" compared with "=" matches every value that begins with the
// text before it. A constant that cannot be read as the field's kind matches
// no row. Text compares with regard to case unless CaseInsensitive is set.
#include <QString>
#include <memory>

class TNDataSet;
class TNRecord;
struct TFilterNode;

class TNFilterExpr {
public:
    // Raises EDatabaseError for text it cannot read.
    explicit TNFilterExpr(const QString& text);
    ~TNFilterExpr();
    TNFilterExpr(const TNFilterExpr&) = delete;
    TNFilterExpr& operator=(const TNFilterExpr&) = delete;

    // Resolves the field names on the dataset (before a scan); raises
    // EDatabaseError for an unknown field.
    void Bind(const TNDataSet& dataSet);
    bool Matches(const TNRecord& record, bool caseInsensitive) const;

private:
    std::unique_ptr<TFilterNode> m_root;
};

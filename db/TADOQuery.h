#pragma once

#include <QSqlQuery>
#include <QSqlRecord>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>

namespace korvane::db {

class TADOConnection;

// Refuses (DbError) a statement that a literal could be broken out of on connection: one holding
// a NUL, or a backslash where the database reads it as an escape.
void CheckStatementText(const QString& sql, const TADOConnection& connection);

// The form's one query object, bound to its connection. Statements are whole texts without
// parameters; failures raise DbError. Dates read as text have the form yyyy-MM-dd hh:mm:ss.
class TADOQuery {
public:
    explicit TADOQuery(TADOConnection& connection);
    ~TADOQuery();
    TADOQuery(const TADOQuery&) = delete;
    TADOQuery& operator=(const TADOQuery&) = delete;

    void Close();  // harmless when no result set is open
    void ClearSQL();
    void AddSQL(const QString& line);
    QString SQLText() const { return lines_.join(u'\n'); }

    void Open();  // a statement with rows: positions on the first row
    // The next Open reads its rows once, front to back, without keeping them: for results too
    // large to hold twice. RecordCount is not available on such a result.
    void SetForwardOnly(bool once) { forwardOnly_ = once; }
    void ExecSQL();  // a statement without rows
    bool Active() const { return active_; }

    bool Eof() const;  // true past the last row, and without a result set
    void Next();
    QString FieldAsString(const QString& name) const;
    // The same by the field's position, from FieldIndex (-1 when the result has no such field).
    int FieldIndex(const QString& name) const { return record_.indexOf(name); }
    QString FieldAsString(int index) const;
    int32_t FieldAsInteger(const QString& name) const;
    // A whole number of up to 64 bits; 0 for NULL.
    int64_t FieldAsInt64(const QString& name) const;
    // Whether the field is NULL.
    bool FieldIsNull(const QString& name) const;
    // Rows of the open result set; raises DbError without one.
    int RecordCount();
    // Rows the last ExecSQL changed (-1 when the driver cannot tell).
    int RowsAffected() const { return rowsAffected_; }
    TADOConnection& Connection() const { return connection_; }

private:
    void Run(bool withRows);
    QVariant FieldValue(const QString& name) const;
    QVariant FieldValue(int index, const QString& name) const;
    static QString AsString(const QVariant& v);

    TADOConnection& connection_;
    QStringList lines_;
    std::unique_ptr<QSqlQuery> query_;
    QSqlRecord record_;  // the result's columns, read once per statement
    bool forwardOnly_ = false;
    bool active_ = false;
    bool eof_ = true;
    int recordCount_ = -1;
    int rowsAffected_ = -1;
};

}  // namespace korvane::db

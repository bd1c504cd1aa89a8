#pragma once

#include <QStringView>
#include <optional>

namespace korvane::db {

// What a run of statement text is. Quoted is a 'literal' or a "quoted identifier", a doubled
// quote inside it standing for one; an unclosed quote or /* comment runs to the end of the text.
// A line comment stops before its newline. Blank is white space; Other is one character.
enum class SqlRunKind { Quoted, LineComment, BlockComment, Word, Blank, Other };

struct SqlRun {
    SqlRunKind kind;
    qsizetype at;  // where the run starts in the text
    QStringView text;

    bool IsComment() const {
        return kind == SqlRunKind::LineComment || kind == SqlRunKind::BlockComment;
    }
    bool Is(QChar c) const { return kind == SqlRunKind::Other && text.front() == c; }
};

// Walks statement text run by run, so that every reader of SQL agrees on where literals and
// comments begin and end.
class SqlLexer {
public:
    explicit SqlLexer(QStringView sql) : sql_(sql) {}
    // The next run, or none at the end of the text.
    std::optional<SqlRun> Next();

private:
    QStringView sql_;
    qsizetype at_ = 0;
};

}  // namespace korvane::db

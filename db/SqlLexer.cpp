#include "SqlLexer.h"

namespace korvane::db {

namespace {
bool IsWordChar(QChar c) {
    return c.isLetterOrNumber() || c == u'_' || c == u'$' || c == u'#';
}

bool StartsWith(QStringView s, qsizetype i, char16_t first, char16_t second) {
    return i + 1 < s.size() && s.at(i) == first && s.at(i + 1) == second;
}

// Index just past a quoted run that starts at i.
qsizetype QuotedEnd(QStringView s, qsizetype i) {
    const QChar q = s.at(i);
    for (++i; i < s.size(); ++i) {
        if (s.at(i) != q) {
            continue;
        }
        if (i + 1 < s.size() && s.at(i + 1) == q) {
            ++i;
            continue;
        }
        return i + 1;
    }
    return s.size();
}

template <class Pred>
qsizetype EndWhile(QStringView s, qsizetype i, Pred pred) {
    while (i < s.size() && pred(s.at(i))) {
        ++i;
    }
    return i;
}

qsizetype FoundOrEnd(QStringView s, qsizetype found, qsizetype past) {
    return found < 0 ? s.size() : found + past;
}
}  // namespace

std::optional<SqlRun> SqlLexer::Next() {
    if (at_ >= sql_.size()) {
        return std::nullopt;
    }
    const qsizetype begin = at_;
    const QChar c = sql_.at(begin);
    SqlRunKind kind = SqlRunKind::Other;
    qsizetype end = begin + 1;
    if (c == u'\'' || c == u'"') {
        kind = SqlRunKind::Quoted;
        end = QuotedEnd(sql_, begin);
    } else if (StartsWith(sql_, begin, u'-', u'-')) {
        kind = SqlRunKind::LineComment;
        end = FoundOrEnd(sql_, sql_.indexOf(u'\n', begin), 0);
    } else if (StartsWith(sql_, begin, u'/', u'*')) {
        kind = SqlRunKind::BlockComment;
        end = FoundOrEnd(sql_, sql_.indexOf(u"*/", begin + 2), 2);
    } else if (IsWordChar(c)) {
        kind = SqlRunKind::Word;
        end = EndWhile(sql_, begin, IsWordChar);
    } else if (c.isSpace()) {
        kind = SqlRunKind::Blank;
        end = EndWhile(sql_, begin, [](QChar b) { return b.isSpace(); });
    }
    at_ = end;
    return SqlRun{kind, begin, sql_.mid(begin, end - begin)};
}

}  // namespace korvane::db

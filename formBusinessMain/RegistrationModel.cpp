#include "RegistrationModel.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "Statements.h"
#include "TADOQuery.h"
#include "TransferProgress.h"

namespace korvane {

// An order number and a date in their usual forms are kept as numbers, and their texts built
// again when shown; other forms keep their text (length > 0).
struct RegistrationModel::Row {
    int64_t idKey;    // the order number, for its sort order
    int64_t dateKey;  // yyyyMMddhhmmss; -1 when the text is kept
    int64_t size = -1;
    uint32_t id, name, date, remark;  // offsets into the store
    uint16_t idLength, nameLength, dateLength, remarkLength;
    int32_t operatorId;
    uint16_t type;
    bool replaced = false;
};

// Texts in fixed-size chunks, so that growing never copies what is stored.
class RegistrationModel::Store {
public:
    static constexpr uint32_t kChunk = 1u << 20;  // characters

    // Where text now starts; its length is cut to what a row can say.
    uint32_t Add(QStringView text, uint16_t* length) {
        const auto n = static_cast<uint32_t>(
            std::min<qsizetype>(text.size(), std::numeric_limits<uint16_t>::max()));
        if (chunks_.empty() || used_ + n > kChunk) {
            chunks_.push_back(std::make_unique<char16_t[]>(kChunk));
            used_ = 0;
        }
        std::copy_n(text.utf16(), n, chunks_.back().get() + used_);
        const uint32_t at = static_cast<uint32_t>(chunks_.size() - 1) * kChunk + used_;
        used_ += n;
        *length = static_cast<uint16_t>(n);
        return at;
    }
    QStringView View(uint32_t at, uint16_t length) const {
        return {chunks_[at / kChunk].get() + at % kChunk, length};
    }

private:
    std::vector<std::unique_ptr<char16_t[]>> chunks_;
    uint32_t used_ = 0;
};

namespace {

int64_t NumberKey(QStringView id) {
    bool ok = false;
    const qlonglong n = id.toLongLong(&ok);
    return ok ? n : std::numeric_limits<int64_t>::min();
}

bool IsCanonicalNumber(QStringView id, int64_t key) {
    return key != std::numeric_limits<int64_t>::min() && QString::number(key) == id;
}

// "yyyy-MM-dd hh:mm:ss" as yyyyMMddhhmmss; -1 for any other form.
int64_t DateKey(QStringView date) {
    static constexpr char kForm[] = "dddd-dd-dd dd:dd:dd";
    if (date.size() != 19) {
        return -1;
    }
    int64_t key = 0;
    for (int i = 0; i < 19; ++i) {
        const char16_t c = date[i].unicode();
        if (kForm[i] != 'd') {
            if (c != kForm[i]) {
                return -1;
            }
        } else if (c < u'0' || c > u'9') {
            return -1;
        } else {
            key = key * 10 + (c - u'0');
        }
    }
    return key;
}

QString DateFromKey(int64_t key) {
    const auto part = [key](int64_t unit, int width) {
        return QStringLiteral("%1").arg(key / unit % static_cast<int64_t>(std::pow(10, width)),
                                        width, 10, QLatin1Char('0'));
    };
    return part(10000000000, 4) + u'-' + part(100000000, 2) + u'-' + part(1000000, 2) + u' ' +
           part(10000, 2) + u':' + part(100, 2) + u':' + part(1, 2);
}

}  // namespace

// What a sort compares of a row: a number, or a text with its first characters as a number for
// the common case; ties keep the order the rows had.
struct SortEntry {
    uint64_t key;
    QStringView text;
    uint32_t position;
    uint32_t row;
};

namespace {

uint64_t PrefixKey(QStringView text) {
    uint64_t key = 0;
    for (qsizetype i = 0; i < 4; ++i) {
        key = (key << 16) | (i < text.size() ? text[i].unicode() : 0u);
    }
    return key;
}

uint64_t NumberOrder(int64_t n) {
    return static_cast<uint64_t>(n) ^ (uint64_t{1} << 63);
}

}  // namespace

RegistrationModel::RegistrationModel(QStringList captions, RowTexts texts, QObject* parent)
    : QAbstractTableModel(parent),
      captions_(std::move(captions)),
      texts_(std::move(texts)),
      store_(std::make_unique<Store>()) {}

RegistrationModel::~RegistrationModel() = default;

void RegistrationModel::SetTexts(RowTexts texts) {
    texts_ = std::move(texts);
    if (!rows_.empty()) {
        emit dataChanged(index(0, kType), index(rowCount() - 1, kOperator));
    }
}

void RegistrationModel::Clear() {
    beginResetModel();
    store_ = std::make_unique<Store>();
    rows_.clear();
    rows_.shrink_to_fit();
    order_.clear();
    order_.shrink_to_fit();
    byName_.clear();
    typeCodes_.clear();
    endResetModel();
}

void RegistrationModel::BeginFill() {
    fillFrom_ = static_cast<int>(rows_.size());
}

void RegistrationModel::Append(const Fields& f) {
    Row r{};
    r.idKey = NumberKey(f.id);
    r.id = store_->Add(IsCanonicalNumber(f.id, r.idKey) ? QStringView() : f.id, &r.idLength);
    r.name = store_->Add(f.name, &r.nameLength);
    r.dateKey = DateKey(f.date);
    r.date = store_->Add(r.dateKey < 0 ? f.date : QStringView(), &r.dateLength);
    r.remark = store_->Add(f.remark, &r.remarkLength);
    r.operatorId = f.operatorId;
    r.size = -1;
    // Few distinct types, so a scan costs less than a key built per row.
    qsizetype t = 0;
    while (t < typeCodes_.size() && typeCodes_.at(t) != f.type) {
        ++t;
    }
    if (t == typeCodes_.size()) {
        typeCodes_.append(f.type.toString());
    }
    r.type = static_cast<uint16_t>(t);
    rows_.push_back(r);
}

void RegistrationModel::EndFill() {
    const auto from = static_cast<std::size_t>(std::max(fillFrom_, 0));
    fillFrom_ = -1;
    if (rows_.size() == from) {
        return;
    }
    beginInsertRows({}, static_cast<int>(from), static_cast<int>(rows_.size()) - 1);
    order_.reserve(rows_.size());
    for (std::size_t i = from; i < rows_.size(); ++i) {
        order_.push_back(static_cast<uint32_t>(i));
    }
    byName_.clear();
    endInsertRows();
}

QStringView RegistrationModel::View(uint32_t at, uint16_t length) const {
    return store_->View(at, length);
}

const RegistrationModel::Row& RegistrationModel::At(int viewRow) const {
    return rows_[order_[static_cast<std::size_t>(viewRow)]];
}

template <typename F>
void RegistrationModel::ForEachNamed(QStringView name, F f) {
    const auto nameOf = [this](uint32_t i) { return View(rows_[i].name, rows_[i].nameLength); };
    if (byName_.size() != rows_.size()) {
        byName_.resize(rows_.size());
        for (uint32_t i = 0; i < byName_.size(); ++i) {
            byName_[i] = i;
        }
        std::sort(byName_.begin(), byName_.end(),
                  [&](uint32_t a, uint32_t b) { return nameOf(a) < nameOf(b); });
    }
    auto it = std::lower_bound(byName_.begin(), byName_.end(), name,
                               [&](uint32_t i, QStringView n) { return nameOf(i) < n; });
    for (; it != byName_.end() && nameOf(*it) == name; ++it) {
        f(rows_[*it]);
    }
}

void RegistrationModel::MarkReplacedBefore(QStringView name, QStringView latestDate) {
    ForEachNamed(name, [&](Row& r) {
        r.replaced = DateText(r) < latestDate;
        if (r.replaced) {
            r.size = -1;  // the record tells of the newer file
        }
    });
}

void RegistrationModel::SetRecordedSize(QStringView name, int64_t size) {
    ForEachNamed(name, [&](Row& r) {
        if (!r.replaced) {
            r.size = size;
        }
    });
}

void RegistrationModel::EndMarks() {
    if (!rows_.empty()) {
        emit dataChanged(index(0, kDate), index(rowCount() - 1, kSize));
    }
}

QString RegistrationModel::Text(int row, int column) const {
    if (row < 0 || row >= rowCount()) {
        return {};
    }
    const Row& r = At(row);
    switch (column) {
        case kId:
            return r.idLength > 0 ? View(r.id, r.idLength).toString() : QString::number(r.idKey);
        case kType:
            return texts_.Type(typeCodes_.at(r.type));
        case kName:
            return View(r.name, r.nameLength).toString();
        case kOperator:
            return texts_.Operator(r.operatorId);
        case kDate:
            return DateText(r) + (r.replaced ? ReplacedMark() : QString());
        case kRemark:
            return View(r.remark, r.remarkLength).toString();
        case kSize:
            return r.size < 0 ? QString() : FormatBytes(static_cast<uint64_t>(r.size));
        default:
            return {};
    }
}

QString RegistrationModel::DateText(const Row& r) const {
    return r.dateKey < 0 ? View(r.date, r.dateLength).toString() : DateFromKey(r.dateKey);
}

bool RegistrationModel::Replaced(int row) const {
    return row >= 0 && row < rowCount() && At(row).replaced;
}

int RegistrationModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(order_.size());
}

int RegistrationModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant RegistrationModel::data(const QModelIndex& index, int role) const {
    if (role == Qt::TextAlignmentRole && index.column() == kSize) {
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    }
    if (role == kRemoteNameRole) {
        return Text(index.row(), kName);
    }
    if (role == kReplacedRole) {
        return Replaced(index.row());
    }
    if (role == kCreateDateRole) {
        return DateText(At(index.row()));
    }
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) {
        return {};
    }
    return Text(index.row(), index.column());
}

QVariant RegistrationModel::headerData(int section, Qt::Orientation o, int role) const {
    if (o == Qt::Horizontal && role == Qt::DisplayRole && section < captions_.size()) {
        return captions_.at(section);
    }
    return {};
}

// The rank of each stored row's shown text, for the columns whose text comes from a lookup:
// few distinct values, so each is looked up once.
std::vector<uint32_t> RegistrationModel::Ranks(int column) const {
    const auto keyOf = [column](const Row& r) -> int64_t {
        return column == kType ? r.type : r.operatorId;
    };
    QHash<int64_t, uint32_t> rankOf;
    QStringList texts;
    std::vector<int64_t> keys;
    for (const Row& r : rows_) {
        if (!rankOf.contains(keyOf(r))) {
            rankOf.insert(keyOf(r), 0);
            keys.push_back(keyOf(r));
            texts << (column == kType ? texts_.Type(typeCodes_.at(r.type))
                                      : texts_.Operator(r.operatorId));
        }
    }
    std::vector<std::size_t> byText(keys.size());
    for (std::size_t i = 0; i < byText.size(); ++i) {
        byText[i] = i;
    }
    std::sort(byText.begin(), byText.end(), [&](std::size_t a, std::size_t b) {
        return texts.at(static_cast<qsizetype>(a)) < texts.at(static_cast<qsizetype>(b));
    });
    for (std::size_t i = 0; i < byText.size(); ++i) {
        rankOf.insert(keys[byText[i]], static_cast<uint32_t>(i));
    }
    std::vector<uint32_t> ranks(rows_.size());
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        ranks[i] = rankOf.value(keyOf(rows_[i]));
    }
    return ranks;
}

SortEntry RegistrationModel::Entry(int column, uint32_t row,
                                   const std::vector<uint32_t>& ranks) const {
    const Row& r = rows_[row];
    const auto text = [&](uint32_t at, uint16_t length) {
        const QStringView v = View(at, length);
        return SortEntry{PrefixKey(v), v, 0, row};
    };
    switch (column) {
        case kId:
            return r.idLength > 0 ? SortEntry{NumberOrder(r.idKey), View(r.id, r.idLength), 0, row}
                                  : SortEntry{NumberOrder(r.idKey), {}, 0, row};
        case kType:
        case kOperator:
            return {ranks[row], {}, 0, row};
        case kName:
            return text(r.name, r.nameLength);
        case kDate:
            return {NumberOrder(r.dateKey), View(r.date, r.dateLength), 0, row};
        case kRemark:
            return text(r.remark, r.remarkLength);
        default:
            return {NumberOrder(r.size), {}, 0, row};
    }
}

void RegistrationModel::sort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= kColumnCount) {
        return;
    }
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<uint32_t> storedOf;
    storedOf.reserve(static_cast<std::size_t>(before.size()));
    for (const QModelIndex& i : before) {
        storedOf.push_back(order_[static_cast<std::size_t>(i.row())]);
    }
    const std::vector<uint32_t> ranks =
        column == kType || column == kOperator ? Ranks(column) : std::vector<uint32_t>{};
    std::vector<SortEntry> entries;
    entries.reserve(order_.size());
    for (std::size_t at = 0; at < order_.size(); ++at) {
        entries.push_back(Entry(column, order_[at], ranks));
        entries.back().position = static_cast<uint32_t>(at);
    }
    const bool ascending = order == Qt::AscendingOrder;
    std::sort(entries.begin(), entries.end(), [ascending](const SortEntry& a, const SortEntry& b) {
        if (a.key != b.key) {
            return ascending == (a.key < b.key);
        }
        const int c = a.text.compare(b.text);
        return c != 0 ? ascending == (c < 0) : a.position < b.position;
    });
    for (std::size_t at = 0; at < entries.size(); ++at) {
        order_[at] = entries[at].row;
    }
    entries = {};
    if (!before.isEmpty()) {
        std::vector<uint32_t> viewOf(rows_.size());
        for (std::size_t v = 0; v < order_.size(); ++v) {
            viewOf[order_[v]] = static_cast<uint32_t>(v);
        }
        QModelIndexList after;
        after.reserve(before.size());
        for (qsizetype i = 0; i < before.size(); ++i) {
            after << index(static_cast<int>(viewOf[storedOf[static_cast<std::size_t>(i)]]),
                           before.at(i).column());
        }
        changePersistentIndexList(before, after);
    }
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

bool AppendRows(db::TADOQuery& query, RegistrationModel& model, int limit) {
    const int id = query.FieldIndex(QStringLiteral("down_id"));
    const int type = query.FieldIndex(QStringLiteral("down_type"));
    const int name = query.FieldIndex(QStringLiteral("down_path"));
    const int date = query.FieldIndex(QStringLiteral("create_date"));
    const int remark = query.FieldIndex(QStringLiteral("remark"));
    model.BeginFill();
    int listed = 0;
    for (; !query.Eof(); query.Next(), ++listed) {
        if (listed >= limit) {
            break;
        }
        const QString texts[] = {query.FieldAsString(id), query.FieldAsString(type),
                                 query.FieldAsString(name), query.FieldAsString(date),
                                 query.FieldAsString(remark)};
        model.Append({texts[0], texts[1], texts[2], query.FieldAsInteger(QStringLiteral("op_id")),
                      texts[3], texts[4]});
    }
    const bool cut = !query.Eof();
    model.EndFill();
    return cut;
}

}  // namespace korvane

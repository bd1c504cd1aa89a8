#include "RegistrationModel.h"

#include <algorithm>
#include <limits>

#include "Statements.h"
#include "TADOQuery.h"
#include "TransferProgress.h"

namespace korvane {

struct RegistrationModel::Row {
    int64_t idKey;  // the order number as a number, for its sort order
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
    r.id = store_->Add(f.id, &r.idLength);
    r.name = store_->Add(f.name, &r.nameLength);
    r.date = store_->Add(f.date, &r.dateLength);
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
        r.replaced = View(r.date, r.dateLength) < latestDate;
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
            return View(r.id, r.idLength).toString();
        case kType:
            return texts_.Type(typeCodes_.at(r.type));
        case kName:
            return View(r.name, r.nameLength).toString();
        case kOperator:
            return texts_.Operator(r.operatorId);
        case kDate:
            return View(r.date, r.dateLength).toString() + (r.replaced ? kReplacedMark : QString());
        case kRemark:
            return View(r.remark, r.remarkLength).toString();
        case kSize:
            return r.size < 0 ? QString() : FormatBytes(static_cast<uint64_t>(r.size));
        default:
            return {};
    }
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
    const auto less = [&](uint32_t a, uint32_t b) {
        const Row& x = rows_[a];
        const Row& y = rows_[b];
        switch (column) {
            case kId:
                return x.idKey != y.idKey ? x.idKey < y.idKey
                                          : View(x.id, x.idLength) < View(y.id, y.idLength);
            case kType:
            case kOperator:
                return ranks[a] < ranks[b];
            case kName:
                return View(x.name, x.nameLength) < View(y.name, y.nameLength);
            case kDate:
                return View(x.date, x.dateLength) < View(y.date, y.dateLength);
            case kRemark:
                return View(x.remark, x.remarkLength) < View(y.remark, y.remarkLength);
            default:
                return x.size < y.size;
        }
    };
    if (order == Qt::AscendingOrder) {
        std::stable_sort(order_.begin(), order_.end(), less);
    } else {
        std::stable_sort(order_.begin(), order_.end(),
                         [&](uint32_t a, uint32_t b) { return less(b, a); });
    }
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

void AppendRows(db::TADOQuery& query, RegistrationModel& model) {
    const int id = query.FieldIndex(QStringLiteral("down_id"));
    const int type = query.FieldIndex(QStringLiteral("down_type"));
    const int name = query.FieldIndex(QStringLiteral("down_path"));
    const int date = query.FieldIndex(QStringLiteral("create_date"));
    const int remark = query.FieldIndex(QStringLiteral("remark"));
    model.BeginFill();
    for (; !query.Eof(); query.Next()) {
        const QString texts[] = {query.FieldAsString(id), query.FieldAsString(type),
                                 query.FieldAsString(name), query.FieldAsString(date),
                                 query.FieldAsString(remark)};
        model.Append({texts[0], texts[1], texts[2], query.FieldAsInteger(QStringLiteral("op_id")),
                      texts[3], texts[4]});
    }
    model.EndFill();
}

}  // namespace korvane

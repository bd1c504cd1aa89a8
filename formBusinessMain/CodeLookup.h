#pragma once

#include <QComboBox>
#include <QListWidget>
#include <QString>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <unordered_map>
#include <vector>

#include "TextLimits.h"

// Code-name lookup over a host code table. Every search follows the list order and the first
// matching entry wins. Texts are returned by value; item texts ("[code] name") are cut to 127
// bytes at a character boundary.
template <class TList>
class CBasicLookup {
public:
    explicit CBasicLookup(const TList& list) : list_(list.begin(), list.end()) {}

    virtual void FillComboBox(QComboBox* comboBox) = 0;
    virtual void FillListBox(QListWidget* listBox) = 0;
    virtual int64_t GetCodeByText(const std::string& text) = 0;
    virtual int64_t GetCodeByName(const std::string& name) = 0;
    virtual std::string GetTextByCode(int64_t code) = 0;
    virtual std::string GetNameByCode(int64_t code) = 0;
    virtual ~CBasicLookup() = default;

protected:
    TList list_;
};

namespace korvane::lookup {

constexpr std::size_t kMaxText = 127;

inline std::string FormatItemText(int64_t code, const std::string& name) {
    return telmaris::CutUtf8("[" + std::to_string(code) + "] " + name, kMaxText);
}

// Lower-cases ASCII letters only, as the lookup compares texts.
inline std::string AsciiLower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

// The C library's reading of a decimal number: white space, a sign, digits; 0 without digits.
inline int64_t LeadingNumber(const std::string& text) {
    return std::strtoll(text.c_str(), nullptr, 10);
}

}  // namespace korvane::lookup

template <class TList, class CodeFn, class NameFn>
class CAutoLookup : public CBasicLookup<TList> {
public:
    CAutoLookup(const TList& list, CodeFn codeOf, NameFn nameOf)
        : CBasicLookup<TList>(list), codeOf_(codeOf), nameOf_(nameOf) {
        BuildIndexes();
    }

    void FillComboBox(QComboBox* comboBox) override {
        if (comboBox == nullptr) {
            return;
        }
        for (const std::string& text : itemTexts_) {
            comboBox->addItem(QString::fromStdString(text));
        }
        if (comboBox->count() > 0) {
            comboBox->setCurrentIndex(0);
        }
    }

    void FillListBox(QListWidget* listBox) override {
        if (listBox == nullptr) {
            return;
        }
        for (const std::string& text : itemTexts_) {
            listBox->addItem(QString::fromStdString(text));
        }
    }

    int64_t GetCodeByText(const std::string& text) override { return CodeOrNumber(byText_, text); }

    int64_t GetCodeByName(const std::string& name) override { return CodeOrNumber(byName_, name); }

    std::string GetTextByCode(int64_t code) override {
        const auto it = byCode_.find(code);
        return it == byCode_.end() ? std::to_string(code) : itemTexts_[it->second];
    }

    std::string GetNameByCode(int64_t code) override {
        const auto it = byCode_.find(code);
        return it == byCode_.end() ? std::string() : names_[it->second];
    }

private:
    using Index = std::unordered_map<std::string, std::size_t>;

    // Indexes keep the first entry of each key, so lookups answer as a scan in list order would.
    void BuildIndexes() {
        const auto& list = this->list_;
        itemTexts_.reserve(list.size());
        names_.reserve(list.size());
        for (std::size_t i = 0; i < list.size(); ++i) {
            const int64_t code = (list[i].*codeOf_)();
            const std::string name =
                telmaris::CutUtf8((list[i].*nameOf_)(), korvane::lookup::kMaxText);
            itemTexts_.push_back(korvane::lookup::FormatItemText(code, name));
            names_.push_back(name);
            codes_.push_back(code);
            byCode_.emplace(code, i);
            byText_.emplace(korvane::lookup::AsciiLower(itemTexts_.back()), i);
            byName_.emplace(korvane::lookup::AsciiLower(name), i);
        }
    }

    int64_t CodeOrNumber(const Index& index, const std::string& text) const {
        const auto it = index.find(korvane::lookup::AsciiLower(text));
        return it == index.end() ? korvane::lookup::LeadingNumber(text) : codes_[it->second];
    }

    CodeFn codeOf_;
    NameFn nameOf_;
    std::vector<std::string> itemTexts_;
    std::vector<std::string> names_;
    std::vector<int64_t> codes_;
    std::unordered_map<int64_t, std::size_t> byCode_;
    Index byText_;
    Index byName_;
};

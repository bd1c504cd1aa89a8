#pragma once

#include <QCryptographicHash>
#include <QFile>
#include <QMap>
#include <QStringList>
#include <deque>
#include <memory>
#include <mutex>

#include "FileStore.h"

namespace korvane::test {

// A file store without a server: a folder held in memory, and per verb a script of results to
// play before the verb does its work. A scripted failure leaves the folder as it was, so every
// failure path of a job is a row of a table. What the job did is written down as calls.
class ScriptedStore : public store::FileStore {
public:
    // Outlives the store, which the job makes and destroys on its worker thread.
    struct Folder {
        std::mutex mutex;
        QMap<QString, QByteArray> files;
        QMap<QString, std::deque<store::Result>> script;  // verb -> results, the next first
        QStringList calls;                                // "Put a.bin", "Rename a b", ...
        bool alive = true;

        void Fail(const QString& verb, store::Fault fault, const QString& reason = QString()) {
            const std::lock_guard<std::mutex> lock(mutex);
            script[verb].push_back(store::Result::Failure(fault, reason));
        }
        QStringList Calls() {
            const std::lock_guard<std::mutex> lock(mutex);
            return calls;
        }
        QMap<QString, QByteArray> Files() {
            const std::lock_guard<std::mutex> lock(mutex);
            return files;
        }
    };

    explicit ScriptedStore(std::shared_ptr<Folder> folder) : folder_(std::move(folder)) {}

    void SetCancelFlag(const std::atomic<bool>*) override {}
    void SetProgress(store::Progress progress) override { progress_ = std::move(progress); }

    store::Result Open() override {
        return Play(QStringLiteral("Open"), {}, [] {});
    }
    bool Alive() override {
        const std::lock_guard<std::mutex> lock(folder_->mutex);
        return folder_->alive;
    }
    void Close() override {
        const std::lock_guard<std::mutex> lock(folder_->mutex);
        folder_->calls << QStringLiteral("Close");
    }
    store::Capabilities Can() const override { return {}; }

    store::Result Put(const QString& local, const QString& remote,
                      store::StoredCopy* copy) override {
        return Play(QStringLiteral("Put"), {remote}, [&] {
            QFile file(local);
            file.open(QIODevice::ReadOnly);
            const QByteArray bytes = file.readAll();
            folder_->files[remote] = bytes;
            if (copy != nullptr) {
                copy->size = static_cast<uint64_t>(bytes.size());
                copy->sha256 = Sha256(bytes);
            }
            if (progress_) {
                progress_(copy != nullptr ? copy->size : 0, copy != nullptr ? copy->size : 0, 0);
            }
        });
    }
    store::Result Get(const QString& remote, const QString& local) override {
        if (!Files().contains(remote)) {
            return Played(QStringLiteral("Get"), {remote},
                          store::Result::Failure(store::Fault::NotFound, QStringLiteral("550")));
        }
        return Play(QStringLiteral("Get"), {remote}, [&] {
            QFile file(local);
            file.open(QIODevice::WriteOnly | QIODevice::Truncate);
            file.write(folder_->files.value(remote));
        });
    }
    store::Result Rename(const QString& from, const QString& to) override {
        return Play(QStringLiteral("Rename"), {from, to},
                    [&] { folder_->files[to] = folder_->files.take(from); });
    }
    store::Result Replace(const QString& from, const QString& to) override {
        return Play(QStringLiteral("Replace"), {from, to},
                    [&] { folder_->files[to] = folder_->files.take(from); });
    }
    store::Result Remove(const QString& name) override {
        return Play(QStringLiteral("Remove"), {name}, [&] { folder_->files.remove(name); });
    }
    store::Result Info(const QString& name, store::RemoteInfo* info) override {
        return Play(QStringLiteral("Info"), {name}, [&] {
            if (folder_->files.contains(name)) {
                info->size = static_cast<uint64_t>(folder_->files.value(name).size());
            }
        });
    }
    store::Result List(QStringList* names) override {
        return Play(QStringLiteral("List"), {}, [&] { *names = folder_->files.keys(); });
    }
    store::Result Digest(const QString& name, QString* sha256, uint64_t* size) override {
        return Play(QStringLiteral("Digest"), {name}, [&] {
            const QByteArray bytes = folder_->files.value(name);
            *sha256 = Sha256(bytes);
            *size = static_cast<uint64_t>(bytes.size());
        });
    }

    static QString Sha256(const QByteArray& bytes) {
        return QString::fromLatin1(
            QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
    }

private:
    QMap<QString, QByteArray> Files() { return folder_->Files(); }

    // Writes the call down, then plays the verb's next scripted result, else does the work.
    template <class Work>
    store::Result Play(const QString& verb, const QStringList& args, Work work) {
        const std::lock_guard<std::mutex> lock(folder_->mutex);
        folder_->calls << (QStringList(verb) + args).join(u' ');
        auto& script = folder_->script[verb];
        if (!script.empty()) {
            store::Result next = script.front();
            script.pop_front();
            if (!next.Ok()) {
                return next;
            }
        }
        work();
        return store::Result::Success();
    }
    store::Result Played(const QString& verb, const QStringList& args, store::Result result) {
        const std::lock_guard<std::mutex> lock(folder_->mutex);
        folder_->calls << (QStringList(verb) + args).join(u' ');
        return result;
    }

    std::shared_ptr<Folder> folder_;
    store::Progress progress_;
};

}  // namespace korvane::test

#pragma once

#include <QCryptographicHash>
#include <QFile>
#include <QMap>
#include <QStringList>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

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
        bool dead = false;             // every verb fails as on a connection that is gone
        bool refuseOverwrite = false;  // a rename onto an existing name is refused
        bool noResume = false;         // a Put never continues a file: it stores it whole
        qsizetype breakPutAt = -1;     // the next Put stores this many bytes, then breaks off
        QString hangAt;                // the call that blocks until the job is aborted
        std::atomic<bool> hanging{false};

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

    void SetCancelFlag(const std::atomic<bool>* cancel) override { cancel_ = cancel; }
    void SetProgress(store::Progress progress) override { progress_ = std::move(progress); }

    store::Result Open() override {
        return Play(QStringLiteral("Open"), {}, [] {});
    }
    bool Alive() override {
        const std::lock_guard<std::mutex> lock(folder_->mutex);
        return folder_->alive && !folder_->dead;
    }
    void Close() override {
        const std::lock_guard<std::mutex> lock(folder_->mutex);
        folder_->calls << QStringLiteral("Close");
    }
    store::Capabilities Can() const override { return {}; }

    // A Put that continues a file is written down as "Put <name> from <n>".
    store::Result Put(const QString& local, const QString& remote, store::StoredCopy* copy,
                      uint64_t from) override {
        QStringList args{remote};
        if (from > 0) {
            args << QStringLiteral("from") << QString::number(from);
        }
        if (BreaksOff(local, remote, args)) {
            return store::Result::Failure(store::Fault::Broken, QStringLiteral("reset by peer"));
        }
        return Play(QStringLiteral("Put"), args, [&] {
            QFile file(local);
            file.open(QIODevice::ReadOnly);
            const QByteArray bytes = file.readAll();
            const QByteArray held = folder_->files.value(remote);
            const bool continues = from > 0 && !folder_->noResume &&
                                   static_cast<uint64_t>(held.size()) == from &&
                                   bytes.startsWith(held);
            folder_->files[remote] = bytes;
            if (copy != nullptr) {
                copy->size = static_cast<uint64_t>(bytes.size());
                copy->sha256 = Sha256(bytes);
                copy->resumedFrom = continues ? from : 0;
            }
            if (progress_) {
                const auto size = static_cast<uint64_t>(bytes.size());
                progress_(size, size, continues ? from : 0);
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
        {
            const std::lock_guard<std::mutex> lock(folder_->mutex);
            if (!folder_->files.contains(from) ||
                (folder_->refuseOverwrite && folder_->files.contains(to))) {
                folder_->calls << QStringLiteral("Rename %1 %2").arg(from, to);
                return store::Result::Failure(store::Fault::Server, QStringLiteral("553"));
            }
        }
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
        if (!Files().contains(name)) {
            return Played(QStringLiteral("Info"), {name},
                          store::Result::Failure(store::Fault::NotFound, QStringLiteral("550")));
        }
        return Play(QStringLiteral("Info"), {name},
                    [&] { info->size = static_cast<uint64_t>(folder_->files.value(name).size()); });
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
        const QString call = (QStringList(verb) + args).join(u' ');
        if (Hangs(call)) {
            return store::Result::Failure(store::Fault::Cancelled, QStringLiteral("aborted"));
        }
        const std::lock_guard<std::mutex> lock(folder_->mutex);
        folder_->calls << call;
        if (folder_->dead) {
            return store::Result::Failure(store::Fault::Broken, QStringLiteral("gone"));
        }
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

    // A Put that breakPutAt cuts short: the bytes before it arrived.
    bool BreaksOff(const QString& local, const QString& remote, const QStringList& args) {
        const std::lock_guard<std::mutex> lock(folder_->mutex);
        const qsizetype at = std::exchange(folder_->breakPutAt, -1);
        if (at < 0) {
            return false;
        }
        folder_->calls << (QStringList(QStringLiteral("Put")) + args).join(u' ');
        QFile file(local);
        file.open(QIODevice::ReadOnly);
        folder_->files[remote] = file.read(at);
        if (progress_) {
            progress_(static_cast<uint64_t>(at), static_cast<uint64_t>(file.size()), 0);
        }
        return true;
    }

    // A call that hangs waits for the job's abort, as a process that is killed never returns.
    bool Hangs(const QString& call) {
        {
            const std::lock_guard<std::mutex> lock(folder_->mutex);
            if (folder_->hangAt.isEmpty() || !call.startsWith(folder_->hangAt)) {
                return false;
            }
            folder_->dead = true;
        }
        folder_->hanging = true;
        while (cancel_ == nullptr || !cancel_->load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }

    std::shared_ptr<Folder> folder_;
    store::Progress progress_;
    const std::atomic<bool>* cancel_ = nullptr;
};

}  // namespace korvane::test

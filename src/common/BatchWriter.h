#pragma once
// Replacing many files of one folder with a single trip to the disk: each new text goes to a
// temporary file beside its target without a sync, the whole batch is made durable at once,
// and only then is each temporary renamed over its target and the folder synced. A crash
// before the renames leaves every old file; after the sync each rename puts a complete new
// file in place.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <expected>
#include <functional>

namespace velor {

/// The file-system calls of a batch; tests record or fail them.
class BatchFileOps {
public:
    virtual ~BatchFileOps() = default;
    /// Writes the whole file without syncing it; an error unless every byte is in the file.
    virtual std::expected<void, QString> writeUnsynced(const QString &path, const QByteArray &bytes);
    /// Makes the contents of every listed file (all in `folder`) durable.
    virtual std::expected<void, QString> syncFiles(const QString &folder, const QStringList &paths);
    /// Replaces `to` by `from` in one step.
    virtual std::expected<void, QString> rename(const QString &from, const QString &to);
    /// Makes the folder's entries (the renames) durable.
    virtual std::expected<void, QString> syncFolder(const QString &folder);
    /// Removes the file; false when it is still there afterwards.
    virtual bool remove(const QString &path);
    /// The system's syncfs and fsync on an open descriptor (-1 with errno set on an error).
    virtual int syncFileSystem(int fd);
    virtual int syncDescriptor(int fd);
};

/// The real calls.
BatchFileOps &realBatchFileOps();

class BatchWriter {
public:
    BatchWriter(const QString &folder, BatchFileOps &ops = realBatchFileOps()) : m_folder(folder), m_ops(ops) {}
    ~BatchWriter() = default;

    /// The temporary name of a target in the batch.
    static QString tempPath(const QString &target);
    /// Removes temporary files a killed batch left in the folder.
    static void removeLeftovers(const QString &folder, BatchFileOps &ops = realBatchFileOps());

    /// Writes the new text of `target` to its temporary file.
    std::expected<void, QString> add(const QString &target, const QByteArray &bytes);
    /// Syncs the batch, renames every file into place (calling `step` after each) and syncs
    /// the folder. On an error the temporaries not yet renamed are removed.
    std::expected<void, QString> commit(const std::function<void()> &step = {});
    /// Removes every temporary file not yet renamed.
    void discard();
    int size() const { return int(m_targets.size()); }

private:
    QString m_folder;
    BatchFileOps &m_ops;
    QStringList m_targets;
};

} // namespace velor

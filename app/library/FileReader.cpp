#include "app/library/FileReader.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <iostream>
#include <mutex>
#include <numeric>
#include <optional>
#include <string_view>
#include <system_error>
#include <thread>

#include "app/library/CatalogueFile.h"
#include "app/library/LibraryManager.h"
#include "app/library/XmlUtils.h"
#include "platform/Paths.h"

namespace m2 {

namespace {

// About what one entry takes in the file, so each chunk of text is allocated once.
constexpr std::size_t kBytesPerEntry = 384;
// Entries per chunk: small enough that the first is on its way to the disk early.
constexpr std::size_t kEntriesPerChunk = 5000;
constexpr unsigned kMostThreads = 4;

bool keeps(const FileItemPtr& file) {
    return file && file->validate();
}

// The library file's text, byte for byte what the document tree would give, made chunk by
// chunk in file order on a few threads while earlier chunks are compared or written. The
// entries are only read meanwhile.
class LibraryText {
  public:
    explicit LibraryText(const std::vector<FileItemPtr>& files)
        : files_(files),
          chunks_((files.size() + kEntriesPerChunk - 1) / kEntriesPerChunk),
          texts_(chunks_),
          skipped_(chunks_, 0),
          done_(chunks_, false) {
        head_ = R"(<?xml version="1.0" encoding="UTF-8"?><)";
        head_ += FileReader::rootName;
        platform::appendXmlAttribute(head_, "version", "1");
        if (std::none_of(files.begin(), files.end(), keeps)) {
            head_ += "/>";
        } else {
            head_ += '>';
            tail_ = std::string("</") + FileReader::rootName + ">";
        }
        const unsigned threads = std::min<std::size_t>(
            {kMostThreads, std::max(1U, std::thread::hardware_concurrency()), chunks_});
        for (unsigned t = 0; chunks_ > 1 && t < threads; ++t) {
            try {
                workers_.emplace_back([this] { work(); });
            } catch (const std::system_error&) {
                break;  // fewer threads, or none: piece() then formats what is missing
            }
        }
    }
    ~LibraryText() {
        next_ = chunks_;  // chunks nobody took yet are not needed any more
    }
    LibraryText(const LibraryText&) = delete;
    LibraryText& operator=(const LibraryText&) = delete;

    // The head, then every chunk, then the tail; nothing after that.
    std::optional<std::string_view> piece(std::size_t i) {
        if (i == 0) {
            return head_;
        }
        if (i <= chunks_) {
            return chunk(i - 1);
        }
        return i == chunks_ + 1 ? std::optional<std::string_view>(tail_) : std::nullopt;
    }

    // Entries left out because the reader would drop them, once every chunk was asked for.
    [[nodiscard]] std::size_t skipped() const {
        return std::accumulate(skipped_.begin(), skipped_.end(), std::size_t{0});
    }

  private:
    std::string_view chunk(std::size_t c) {
        std::unique_lock lock(mutex_);
        while (!done_[c]) {
            // A chunk no thread took yet (or no thread at all) is made here.
            if (const std::size_t mine = next_.fetch_add(1); mine < chunks_) {
                lock.unlock();
                format(mine);
                lock.lock();
                continue;
            }
            ready_.wait(lock);
        }
        return texts_[c];
    }

    void work() {
        for (std::size_t c = next_.fetch_add(1); c < chunks_; c = next_.fetch_add(1)) {
            format(c);
        }
    }

    void format(std::size_t c) {
        const std::size_t begin = c * kEntriesPerChunk;
        const std::size_t end = std::min(files_.size(), begin + kEntriesPerChunk);
        std::string text;
        text.reserve((end - begin) * kBytesPerEntry);
        std::size_t skipped = 0;
        for (std::size_t i = begin; i < end; ++i) {
            // An entry the reader would drop is not written, so files never carry one.
            if (!keeps(files_[i])) {
                ++skipped;
                continue;
            }
            files_[i]->appendXml(text);
        }
        const std::lock_guard lock(mutex_);
        texts_[c] = std::move(text);
        skipped_[c] = skipped;
        done_[c] = true;
        ready_.notify_all();
    }

    const std::vector<FileItemPtr>& files_;
    const std::size_t chunks_;
    std::string head_;
    std::string tail_;
    std::vector<std::string> texts_;
    std::vector<std::size_t> skipped_;
    std::vector<bool> done_;
    std::mutex mutex_;
    std::condition_variable ready_;
    std::atomic<std::size_t> next_{0};
    std::vector<std::jthread> workers_;  // last: joined before anything they use goes
};

}  // namespace

std::filesystem::path FileReader::location() {
    return platform::documentsFolder().string() + LibraryManager::fileViewFilename;
}

bool FileReader::save(const std::vector<FileItemPtr>& files, std::string* reason) {
    // As text, without a document tree: a tree of a large library costs many times the
    // write itself.
    LibraryText text(files);
    const bool saved = CatalogueFile::save(
        location(), [&text](std::size_t i) { return text.piece(i); }, reason);
    if (const std::size_t skipped = text.skipped(); skipped > 0) {
        std::cout << skipped << " incomplete library entries were not saved" << std::endl;
    }
    return saved;
}

std::optional<std::vector<FileItemPtr>> FileReader::load() {
    const std::filesystem::path path = location();
    const auto document = CatalogueFile::load(path);
    if (!document) {
        return std::nullopt;
    }
    std::vector<FileItemPtr> files;
    bool dropped = false;
    for (const auto& element : document->root().childElements(elemenName)) {
        auto item = std::make_shared<FileItem>(element);
        if (item->validate()) {
            files.push_back(std::move(item));
        } else {
            dropped = true;
        }
    }
    if (dropped) {
        CatalogueFile::keepOriginalBeforeNextSave(path);
    }
    return files;
}

}  // namespace m2

#include "io/read_ahead.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

namespace velmorak::io {
namespace {

class ReadAhead final : public ByteSource {
public:
    explicit ReadAhead(std::unique_ptr<ByteSource> inner) : inner_(std::move(inner)) {
        for (Block& b : ring_) b.bytes.reset(new char[kBlock]);
    }
    ~ReadAhead() override { stop(); }
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    std::ptrdiff_t read(void* dst, std::size_t n) override {
        if (direct_) return inner_->read(dst, n);
        if (!worker_.joinable() && !ended_) {
            try {
                worker_ = std::thread([this] { work(); });
            } catch (const std::system_error&) {
                direct_ = true;
                return inner_->read(dst, n);
            }
        }
        std::unique_lock<std::mutex> lock(mutex_);
        ready_.wait(lock, [this] { return full_ > 0 || ended_; });
        if (full_ == 0) return result_;  // 0 at the end, -1 on an error
        Block& b = ring_[head_];
        lock.unlock();
        // The block at the head belongs to the reader until it is handed back.
        const std::size_t take = std::min(n, b.length - b.used);
        std::memcpy(dst, b.bytes.get() + b.used, take);
        b.used += take;
        if (b.used == b.length) {
            lock.lock();
            head_ = (head_ + 1) % kBlocks;
            --full_;
            lock.unlock();
            space_.notify_one();
        }
        return static_cast<std::ptrdiff_t>(take);
    }
    bool rewind() override {
        stop();
        direct_ = false;
        head_ = tail_ = full_ = 0;
        ended_ = quit_ = thrown_ = false;
        result_ = 0;
        return inner_->rewind();
    }
    std::optional<std::uint64_t> size() const override { return inner_->size(); }
    // Asked only after read() gave -1, that is after the worker has ended.
    const std::string& error() const override {
        static const std::string kNoMemory = "Not enough memory to read the file.";
        return thrown_ ? kNoMemory : inner_->error();
    }

private:
    static constexpr std::size_t kBlock = 1 << 20;
    static constexpr std::size_t kBlocks = 4;
    struct Block {
        std::unique_ptr<char[]> bytes;
        std::size_t length = 0;
        std::size_t used = 0;
    };

    void work() {
        for (;;) {
            std::unique_lock<std::mutex> lock(mutex_);
            space_.wait(lock, [this] { return full_ < kBlocks || quit_; });
            if (quit_) return;
            Block& b = ring_[tail_];
            lock.unlock();
            std::size_t filled = 0;
            std::ptrdiff_t got = 0;
            try {
                while (filled < kBlock && (got = inner_->read(b.bytes.get() + filled, kBlock - filled)) > 0)
                    filled += static_cast<std::size_t>(got);
            } catch (const std::exception&) {  // out of memory: nothing may escape a thread
                got = -1;
                thrown_ = true;
            }
            lock.lock();
            if (filled > 0) {
                b.length = filled;
                b.used = 0;
                tail_ = (tail_ + 1) % kBlocks;
                ++full_;
            }
            if (got <= 0) {
                ended_ = true;
                result_ = got < 0 ? -1 : 0;
            }
            lock.unlock();
            ready_.notify_one();
            if (got <= 0) return;
        }
    }
    void stop() {
        if (!worker_.joinable()) return;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            quit_ = true;
        }
        space_.notify_one();
        worker_.join();
    }

    std::unique_ptr<ByteSource> inner_;
    std::array<Block, kBlocks> ring_;
    std::thread worker_;
    std::mutex mutex_;
    std::condition_variable ready_;  // a block was filled, or the member ended
    std::condition_variable space_;  // a block was handed back, or the worker must quit
    std::size_t head_ = 0;           // the block the reader takes from
    std::size_t tail_ = 0;           // the block the worker fills next
    std::size_t full_ = 0;
    bool ended_ = false;             // the worker met the end of the member or an error
    bool quit_ = false;
    bool direct_ = false;            // no thread could be started
    bool thrown_ = false;            // the inner source threw
    std::ptrdiff_t result_ = 0;
};

}  // namespace

std::unique_ptr<ByteSource> read_ahead(std::unique_ptr<ByteSource> inner) {
    return std::make_unique<ReadAhead>(std::move(inner));
}

}  // namespace velmorak::io

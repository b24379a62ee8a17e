#include "pelm32/pdf/background_writer.h"

#include <system_error>

#include "pelm32/pdf/pdf_syntax.h"

namespace pelm32::pdf {

namespace {

// What may wait for the thread: some pages' worth, so neither side idles,
// and memory stays bounded. Past it the caller compresses a stream itself,
// or waits; a larger job waits until the queue is empty.
constexpr size_t kQueuedBytes = 1 << 19;
// What wakes the thread when it has run out of work.
constexpr size_t kWakeBytes = kQueuedBytes / 4;
// Buffers kept for reuse, and the largest kept.
constexpr size_t kSpareBuffers = 16;
constexpr size_t kSpareCapacity = 1 << 18;

}  // namespace

BackgroundWriter::BackgroundWriter(ByteSink& sink, Deflater& deflater)
    : sink_(sink), deflater_(deflater) {
    try {
        thread_ = std::thread([this] { Work(); });
    } catch (const std::system_error&) {
        // No thread to be had: every job is done at once by the caller.
    }
}

BackgroundWriter::~BackgroundWriter() {
    if (thread_.joinable()) {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
            queue_.clear();
        }
        work_.notify_one();
        thread_.join();
    }
}

void BackgroundWriter::Bytes(std::string_view bytes) {
    Stream(0, {}, bytes, Data::Plain);
}

void BackgroundWriter::Stream(uint32_t number, std::string_view dictionary, std::string_view data,
                              Data how) {
    Job job;
    job.number = number;
    job.data = how;
    job.dictionary = dictionary;
    if (!thread_.joinable()) {
        job.bytes = data;
        Run(job);
        Placed(job);
        return;
    }
    bool behind = false;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (!spare_.empty()) {
            job.bytes = std::move(spare_.back());
            spare_.pop_back();
        }
        behind = !queue_.empty() && queuedBytes_ + data.size() > kQueuedBytes;
    }
    if (how == Data::Compress && behind) {
        // Rather than wait for the thread to make room, this one is
        // compressed here: both processors work.
        if (!twin_) {
            twin_ = deflater_.Twin();
        }
        job.bytes.clear();
        twin_->Compress(data.data(), data.size(), job.bytes);
        job.data = Data::Deflated;
    } else {
        job.bytes.assign(data.data(), data.size());
    }
    Give(std::move(job));
}

void BackgroundWriter::Give(Job&& job) {
    const size_t size = job.bytes.size();
    std::unique_lock<std::mutex> lock(mutex_);
    const auto room = [this, size] {
        return failure_ || queue_.empty() ||
               (queuedBytes_ <= kQueuedBytes / 2 && queuedBytes_ + size <= kQueuedBytes);
    };
    if (queuedBytes_ + size > kQueuedBytes && !room()) {
        hurry_ = true;
        work_.notify_one();
        done_.wait(lock, room);
        hurry_ = false;
    }
    RethrowFailure();
    queuedBytes_ += size;
    queue_.push_back(std::move(job));
    const bool wake = idle_ && queuedBytes_ >= kWakeBytes;
    lock.unlock();
    if (wake) {
        work_.notify_one();
    }
}

void BackgroundWriter::Wait() {
    if (!thread_.joinable()) {
        return;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    hurry_ = true;
    work_.notify_one();
    done_.wait(lock, [this] { return failure_ || (queue_.empty() && !running_); });
    hurry_ = false;
    RethrowFailure();
}

// Called with the lock held.
void BackgroundWriter::RethrowFailure() {
    if (failure_) {
        std::rethrow_exception(failure_);
    }
}

// Wakes for a batch of jobs, not for each: waking a thread costs as much as
// compressing a small page.
void BackgroundWriter::Work() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        idle_ = true;
        work_.wait(lock, [this] {
            return stopping_ || (!queue_.empty() && (hurry_ || queuedBytes_ >= kWakeBytes));
        });
        idle_ = false;
        while (!stopping_ && !queue_.empty()) {
            Job job = std::move(queue_.front());
            queue_.pop_front();
            running_ = true;
            lock.unlock();
            std::exception_ptr failure;
            try {
                Run(job);
            } catch (...) {
                failure = std::current_exception();
            }
            lock.lock();
            running_ = false;
            queuedBytes_ -= job.bytes.size();
            Placed(job);
            if (failure) {
                // Nothing more is written; the caller learns of it on its next call.
                failure_ = failure;
                queue_.clear();
                done_.notify_one();
                work_.wait(lock, [this] { return stopping_; });
                return;
            }
            if (spare_.size() < kSpareBuffers && job.bytes.capacity() <= kSpareCapacity) {
                job.bytes.clear();
                spare_.push_back(std::move(job.bytes));
            }
            if (hurry_ && queuedBytes_ <= kQueuedBytes / 2) {
                done_.notify_one();
            }
        }
        if (stopping_) {
            return;
        }
    }
}

void BackgroundWriter::TakePlaced(std::vector<std::pair<uint32_t, uint64_t>>& placed) {
    placed.clear();
    const std::lock_guard<std::mutex> lock(mutex_);
    placed.swap(placed_);
}

// With the lock held, where there is a thread.
void BackgroundWriter::Placed(const Job& job) {
    if (job.number != 0) {
        placed_.emplace_back(job.number, job.placedAt);
    }
}

void BackgroundWriter::Run(Job& job) {
    if (job.number == 0) {
        Write(job.bytes);
        return;
    }
    std::string_view bytes = job.bytes;
    if (job.data == Data::Compress) {
        compressed_.clear();
        deflater_.Compress(job.bytes.data(), job.bytes.size(), compressed_);
        bytes = compressed_;
    }
    job.placedAt = offset_;
    head_.clear();
    AppendInteger(head_, job.number);
    head_ += " 0 obj\n<< ";
    if (!job.dictionary.empty()) {
        head_ += job.dictionary;
        head_ += ' ';
    }
    head_ += "/Length ";
    AppendInteger(head_, bytes.size());
    if (job.data != Data::Plain) {
        head_ += " /Filter /FlateDecode";
    }
    head_ += " >>\nstream\n";
    Write(head_);
    Write(bytes);
    Write("\nendstream\nendobj\n");
    if (compressed_.capacity() > kSpareCapacity * 4) {
        std::string().swap(compressed_);  // one large image need not stay in memory
    }
}

void BackgroundWriter::Write(std::string_view bytes) {
    if (!good_ || bytes.empty()) {
        return;
    }
    good_ = sink_.Write(bytes.data(), bytes.size());
    if (good_) {
        offset_ += bytes.size();
    }
}

}  // namespace pelm32::pdf

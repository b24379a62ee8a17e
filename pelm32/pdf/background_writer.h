// The bytes of a PDF file written out in order on a thread of their own,
// stream objects compressed there too: the next page is laid out while the
// last one is compressed. When the thread falls behind, the caller
// compresses streams too. Where no thread can be started, the same work is
// done at once by the caller.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "pelm32/pdf/byte_sink.h"
#include "pelm32/pdf/deflate.h"

namespace pelm32::pdf {

class BackgroundWriter {
  public:
    enum class Data { Plain, Compress, Deflated };

    BackgroundWriter(ByteSink& sink, Deflater& deflater);
    // Drops what is still waiting: a writer given up on mid-file writes no more.
    ~BackgroundWriter();
    BackgroundWriter(const BackgroundWriter&) = delete;
    BackgroundWriter& operator=(const BackgroundWriter&) = delete;

    // Bytes written as they are.
    void Bytes(std::string_view bytes);
    // Stream object number: its dictionary entries other than /Length and
    // /Filter, then its data, compressed first when how is Compress. Where
    // it starts in the file is kept for Placed().
    void Stream(uint32_t number, std::string_view dictionary, std::string_view data, Data how);

    // Waits until everything given is written. What the thread threw (not
    // enough memory, a failing deflater) is thrown here, and by the calls
    // above once it is known.
    void Wait();
    // After Wait: false once a write to the sink has failed, and the bytes
    // written.
    bool Good() const { return good_; }
    uint64_t Offset() const { return offset_; }
    // Where the stream objects written since the last call start (object
    // number, offset), into placed; what is still waiting comes later.
    void TakePlaced(std::vector<std::pair<uint32_t, uint64_t>>& placed);

  private:
    struct Job {
        uint32_t number = 0;  // 0: plain bytes, no object
        Data data = Data::Plain;
        std::string dictionary;
        std::string bytes;
        uint64_t placedAt = 0;  // where its object starts, once written
    };
    void Give(Job&& job);
    void Work();
    void Run(Job& job);
    void Placed(const Job& job);
    void Write(std::string_view bytes);
    void RethrowFailure();

    ByteSink& sink_;
    Deflater& deflater_;
    std::unique_ptr<Deflater> twin_;  // the caller's, when it helps compress
    // Touched only by whoever runs the jobs, and read by the caller after Wait.
    bool good_ = true;
    uint64_t offset_ = 0;
    std::vector<std::pair<uint32_t, uint64_t>> placed_;  // under the lock
    std::string head_;
    std::string compressed_;

    std::mutex mutex_;
    std::condition_variable work_;  // the thread waits on it for jobs
    std::condition_variable done_;  // the caller waits on it for room or the end
    std::deque<Job> queue_;
    std::vector<std::string> spare_;  // emptied buffers, reused for the next jobs
    size_t queuedBytes_ = 0;
    bool idle_ = false;     // the thread waits for jobs
    bool running_ = false;  // a job is being worked on
    bool hurry_ = false;    // the caller waits: work on, and say when there is room
    bool stopping_ = false;
    std::exception_ptr failure_;
    std::thread thread_;
};

}  // namespace pelm32::pdf

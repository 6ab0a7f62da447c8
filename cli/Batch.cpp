#include "cli/Batch.h"

#include "engine/TabrixDocument.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <shared_mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace {

// The outcomes as the workers finish them, taken in order by the calling thread.
class Outcomes {
public:
    explicit Outcomes(std::size_t count)
        : outcomes(count)
        , done(count, false)
    {
    }
    void Put(std::size_t index, const FileOutcome& outcome)
    {
        {
            std::lock_guard lock(mutex);
            outcomes[index] = outcome;
            done[index] = true;
        }
        ready.notify_one();
    }
    FileOutcome Take(std::size_t index)
    {
        std::unique_lock lock(mutex);
        ready.wait(lock, [&] { return done[index]; });
        return outcomes[index];
    }

private:
    std::mutex mutex;
    std::condition_variable ready;
    std::vector<FileOutcome> outcomes;
    std::vector<bool> done;
};

}

void ConvertConcurrently(std::size_t count, const MakeDocument& makeDocument, const ConvertFile& convert,
    const ReportFile& report)
{
    if (count == 0)
        return;
    const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
    std::vector<std::unique_ptr<TabrixDocument>> documents(std::min(cores, count));
    for (auto& document : documents)
        document = makeDocument();
    Outcomes outcomes(count);
    std::atomic<std::size_t> next = 0;
    // Held shared by every conversion; held alone by the second try of one that ran out of memory.
    std::shared_mutex alone;
    auto work = [&](TabrixDocument& document) {
        for (std::size_t index; (index = next++) < count;) {
            FileOutcome outcome;
            {
                std::shared_lock shared(alone);
                outcome = convert(index, document);
            }
            if (outcome.status == OutOfMemory && documents.size() > 1) {
                document.Reset();
                std::unique_lock exclusive(alone);
                outcome = convert(index, document);
            }
            // The file's memory goes before the next file is read.
            document.Reset();
            outcomes.Put(index, outcome);
        }
    };
    {
        std::vector<std::jthread> workers;
        try {
            for (auto& document : documents)
                workers.emplace_back(work, std::ref(*document));
        } catch (const std::system_error&) {
            // Fewer threads than cores: the ones there are do all the files.
        }
        if (workers.empty())
            work(*documents.front());
        for (std::size_t index = 0; index < count; ++index)
            report(index, outcomes.Take(index));
    }
}

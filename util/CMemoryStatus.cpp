#include "util/CMemoryStatus.h"

#include "errors/RunTimeError.h"
#include "platform/SystemInfo.h"

namespace {

template <class F>
std::int64_t guarded(const char* name, F read) {
    try {
        return read(platform::GetMemInfo());
    } catch (...) {
        ShowRoutineError(name);
        return 0;
    }
}

} // namespace

std::int64_t CMemoryStatus::AvailablePageFile() {
    return guarded("AvailablePageFile", [](const platform::MemInfo& m) { return m.freeSwap; });
}

std::int64_t CMemoryStatus::AvailablePhysical() {
    return guarded("AvailablePhysical", [](const platform::MemInfo& m) { return m.availablePhysical; });
}

std::int64_t CMemoryStatus::AvailableVirtual() {
    return guarded("AvailableVirtual", [](const platform::MemInfo& m) {
        return m.commitLimit > m.committed ? m.commitLimit - m.committed : std::int64_t{0};
    });
}

std::int64_t CMemoryStatus::MemoryLoad() {
    return guarded("MemoryLoad", [](const platform::MemInfo& m) -> std::int64_t {
        if (m.totalPhysical <= 0) return 0;
        return (m.totalPhysical - m.availablePhysical) * 100 / m.totalPhysical;
    });
}

std::int64_t CMemoryStatus::TotalPageFile() {
    return guarded("TotalPageFile", [](const platform::MemInfo& m) { return m.totalSwap; });
}

std::int64_t CMemoryStatus::TotalPhysical() {
    return guarded("TotalPhysical", [](const platform::MemInfo& m) { return m.totalPhysical; });
}

std::int64_t CMemoryStatus::TotalVirtual() {
    return guarded("TotalVirtual", [](const platform::MemInfo& m) { return m.commitLimit; });
}

#pragma once
// CMemoryStatus: memory figures in bytes (MemoryLoad in percent), read afresh
// from /proc/meminfo by every property. The page file is the swap space; the
// virtual figures are the commit limit and what of it is not committed.
// Each property catches its own failures: a message box titled with its name,
// and 0.
#include <cstdint>

class CMemoryStatus {
public:
    std::int64_t AvailablePageFile();
    std::int64_t AvailablePhysical();
    std::int64_t AvailableVirtual();
    std::int64_t MemoryLoad();
    std::int64_t TotalPageFile();
    std::int64_t TotalPhysical();
    std::int64_t TotalVirtual();
};

// Heap checker of the Windows test programs (linked into each of them; the native build has
// AddressSanitizer instead). Every block that operator new hands out ends right before a page
// that is reserved but never committed, so a write or read past its end faults at the moment
// it happens. The bytes between the block's end and the next 16-byte boundary, which the
// alignment keeps, hold a canary that is checked when the block is freed. A fault or a
// damaged canary ends the program at once with a line naming the block, so the test fails.
//
// Past kMaxGuarded live blocks (the host limits how many mappings a process may have) or for
// big blocks, the block comes from malloc with at least 16 canary bytes behind it.

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

constexpr std::size_t kAlign = 16;
constexpr std::size_t kPage = 4096;
constexpr unsigned char kCanary = 0xA5;
constexpr std::uint32_t kMagicGuarded = 0x51475244;
constexpr std::uint32_t kMagicPlain = 0x51504c4e;
constexpr long kMaxGuarded = 16384;
constexpr std::size_t kMaxGuardedSize = std::size_t{1} << 20;

// Right before every block; for a guarded block a copy also opens its first page, where the
// fault handler finds it.
struct alignas(kAlign) BlockHeader {
  std::uint32_t dwMagic;
  std::size_t cbSize;
  void* pBase;
  unsigned char* pUser;
};

std::atomic<long> g_nGuarded{0};

[[noreturn]] void Fail(const char* pszWhat, const void* pBlock, std::size_t cbSize) {
  std::fprintf(stderr, "heap check: %s (block at %p of %zu bytes)\n", pszWhat, pBlock, cbSize);
  std::fflush(stderr);
  ::TerminateProcess(::GetCurrentProcess(), 3);
  std::abort();
}

std::size_t RoundUp(std::size_t cb, std::size_t nTo) {
  return (cb + nTo - 1) / nTo * nTo;
}

void* AllocateGuarded(std::size_t cbSize, std::size_t cbRounded) {
  const std::size_t cbData = RoundUp(2 * sizeof(BlockHeader) + cbRounded, kPage);
  auto* pBase = static_cast<unsigned char*>(
      ::VirtualAlloc(nullptr, cbData + kPage, MEM_RESERVE, PAGE_NOACCESS));
  if (pBase == nullptr) return nullptr;
  if (::VirtualAlloc(pBase, cbData, MEM_COMMIT, PAGE_READWRITE) == nullptr) {
    ::VirtualFree(pBase, 0, MEM_RELEASE);
    return nullptr;
  }
  unsigned char* pUser = pBase + cbData - cbRounded;
  const BlockHeader header{kMagicGuarded, cbSize, pBase, pUser};
  std::memcpy(pBase, &header, sizeof(header));
  std::memcpy(pUser - sizeof(header), &header, sizeof(header));
  return pUser;
}

void* Allocate(std::size_t cbSize) {
  const std::size_t cbRounded = RoundUp(cbSize == 0 ? 1 : cbSize, kAlign);
  void* pUser = nullptr;
  if (cbSize <= kMaxGuardedSize && g_nGuarded.fetch_add(1) < kMaxGuarded) {
    pUser = AllocateGuarded(cbSize, cbRounded);
    if (pUser == nullptr) g_nGuarded.fetch_sub(1);
  } else if (cbSize <= kMaxGuardedSize) {
    g_nGuarded.fetch_sub(1);
  }
  if (pUser == nullptr) {
    auto* pBase =
        static_cast<unsigned char*>(std::malloc(sizeof(BlockHeader) + cbRounded + kAlign));
    if (pBase == nullptr) return nullptr;
    pUser = pBase + sizeof(BlockHeader);
    const BlockHeader header{kMagicPlain, cbSize, pBase, static_cast<unsigned char*>(pUser)};
    std::memcpy(pBase, &header, sizeof(header));
    std::memset(static_cast<unsigned char*>(pUser) + cbSize, kCanary, cbRounded + kAlign - cbSize);
    return pUser;
  }
  std::memset(static_cast<unsigned char*>(pUser) + cbSize, kCanary, cbRounded - cbSize);
  return pUser;
}

void Release(void* p) {
  if (p == nullptr) return;
  auto* pUser = static_cast<unsigned char*>(p);
  BlockHeader header;
  std::memcpy(&header, pUser - sizeof(header), sizeof(header));
  if ((header.dwMagic != kMagicGuarded && header.dwMagic != kMagicPlain) || header.pUser != pUser) {
    Fail("freed a pointer that is no block, or a block's header was overwritten", p, 0);
  }
  const bool bGuarded = header.dwMagic == kMagicGuarded;
  const std::size_t cbTail = RoundUp(header.cbSize == 0 ? 1 : header.cbSize, kAlign) -
                             header.cbSize + (bGuarded ? 0 : kAlign);
  for (std::size_t i = 0; i < cbTail; ++i) {
    if (pUser[header.cbSize + i] != kCanary)
      Fail("written past the end of a block", p, header.cbSize);
  }
  // Cleared, so that a block freed twice fails (a guarded one faults: its pages are gone).
  std::memset(pUser - sizeof(header), 0, sizeof(header));
  if (bGuarded) {
    ::VirtualFree(header.pBase, 0, MEM_RELEASE);
    g_nGuarded.fetch_sub(1);
  } else {
    std::free(header.pBase);
  }
}

// An access violation on a guard page: names the block it follows, then ends the program
// (without this, the crash would first wait for Wine's debugger).
LONG WINAPI OnUnhandledException(EXCEPTION_POINTERS* pInfo) {
  const EXCEPTION_RECORD* pRecord = pInfo->ExceptionRecord;
  if (pRecord->ExceptionCode == EXCEPTION_ACCESS_VIOLATION && pRecord->NumberParameters >= 2) {
    const auto* pAddress = reinterpret_cast<const void*>(pRecord->ExceptionInformation[1]);
    MEMORY_BASIC_INFORMATION mbi{};
    BlockHeader header{};
    if (::VirtualQuery(pAddress, &mbi, sizeof(mbi)) == sizeof(mbi) && mbi.State == MEM_RESERVE &&
        mbi.AllocationBase != nullptr) {
      MEMORY_BASIC_INFORMATION first{};
      if (::VirtualQuery(mbi.AllocationBase, &first, sizeof(first)) == sizeof(first) &&
          first.State == MEM_COMMIT) {
        std::memcpy(&header, mbi.AllocationBase, sizeof(header));
      }
    }
    if (header.dwMagic == kMagicGuarded)
      Fail("access past the end of a block", header.pUser, header.cbSize);
  }
  std::fprintf(stderr, "heap check: unhandled exception 0x%lx at %p\n", pRecord->ExceptionCode,
               pRecord->ExceptionAddress);
  std::fflush(stderr);
  ::TerminateProcess(::GetCurrentProcess(), 3);
  return EXCEPTION_EXECUTE_HANDLER;
}

struct CInstallFilter {
  CInstallFilter() { ::SetUnhandledExceptionFilter(&OnUnhandledException); }
} g_installFilter;

void* AllocateOrThrow(std::size_t cbSize) {
  void* p = Allocate(cbSize);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}

}  // namespace

void* operator new(std::size_t cb) {
  return AllocateOrThrow(cb);
}
void* operator new[](std::size_t cb) {
  return AllocateOrThrow(cb);
}
void* operator new(std::size_t cb, const std::nothrow_t&) noexcept {
  return Allocate(cb);
}
void* operator new[](std::size_t cb, const std::nothrow_t&) noexcept {
  return Allocate(cb);
}
void operator delete(void* p) noexcept {
  Release(p);
}
void operator delete[](void* p) noexcept {
  Release(p);
}
void operator delete(void* p, std::size_t) noexcept {
  Release(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  Release(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
  Release(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
  Release(p);
}

// Fragment chains of variable-length records (see variable_part.h).
#include "btrieve/variable_part.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "btrieve/btrieve.h"
#include "btrieve/byte_reader.h"
#include "btrieve/format_constants.h"

namespace btrieve {
namespace {

// One fragment: where its data bytes are in the image and the pointer to the next fragment.
struct Fragment {
  std::uint64_t dataOffset = 0;
  std::uint64_t dataLength = 0;
  std::uint32_t next = layout::kNoPointer;
};

// A pointer names its page with byte 0 = bits 16-23 and bytes 1-2 = bits 0-15 (little-endian),
// and the fragment index in byte 3. It is kept as the four bytes read little-endian.
std::uint32_t PageOf(std::uint32_t pointer) {
  return ((pointer & 0xFF) << 16) | ((pointer >> 8) & 0xFFFF);
}

std::uint32_t IndexOf(std::uint32_t pointer) {
  return pointer >> 24;
}

class ChainWalker {
 public:
  explicit ChainWalker(const VariablePages& pages)
      : m_reader(pages.image), m_facts(*pages.facts), m_pageMap(pages.pageMap) {}

  // The fragment `pointer` names, if the pointer, its page and the fragment pass every check;
  // otherwise Failure() says which check failed.
  std::optional<Fragment> Locate(std::uint32_t pointer) {
    const std::uint32_t index = IndexOf(pointer);
    // only FF FF FF FF as a whole ends a chain
    if (index == 0xFF) return Fail(Check::kVariablePage, std::nullopt, pointer);
    const std::optional<std::uint64_t> page = PageStart(PageOf(pointer));
    if (!page) return Fail(Check::kVariablePage, std::nullopt, pointer);
    const std::uint64_t pageSize = m_facts.pageSize;
    const std::uint32_t count = m_reader.U16(*page + layout::kVariableCountOffset);
    const std::uint64_t tableSize = 2ULL * (count + 1);
    if (count == 0 || layout::kVariableFirstFragment + tableSize > pageSize) {
      return Fail(Check::kFragmentTable, page, count);
    }
    if (index >= count) return Fail(Check::kFragmentIndex, page, index, count);
    const auto entry = [&](std::uint32_t i) {
      return m_reader.U16(*page + pageSize - 2 - 2ULL * i);
    };
    const std::uint16_t own = entry(index);
    if (own == layout::kFragmentFree) return Fail(Check::kFragmentFree, page, index);
    std::uint32_t following = index + 1;
    while (following <= count && entry(following) == layout::kFragmentFree)
      ++following;
    if (following > count) return Fail(Check::kFragmentEnd, page, index);
    const std::uint64_t start = own & layout::kFragmentOffsetMask;
    const std::uint64_t end = entry(following) & layout::kFragmentOffsetMask;
    if (start < layout::kVariableFirstFragment || start > end || end > pageSize - tableSize) {
      return Fail(Check::kFragmentOutside, page, index, Reason::kUnset, start);
    }
    Fragment fragment;
    const bool chained =
        m_facts.constants->everyFragmentChained || (own & layout::kFragmentChained) != 0;
    if (chained) {
      if (end - start < layout::kVariablePointerSize) {
        return Fail(Check::kFragmentOutside, page, index, Reason::kUnset, start);
      }
      fragment.next = m_reader.U32(*page + start);
      fragment.dataOffset = *page + start + layout::kVariablePointerSize;
      fragment.dataLength = end - start - layout::kVariablePointerSize;
    } else {
      fragment.dataOffset = *page + start;
      fragment.dataLength = end - start;
    }
    if (!m_reader.Ok()) return Fail(Check::kFragmentOutside, page, index);
    return fragment;
  }

  [[nodiscard]] const Reason& Failure() const { return m_failure; }

  // Notes which check failed where (`pageStart`: the image offset of the page, if known).
  std::nullopt_t Fail(Check check, std::optional<std::uint64_t> pageStart, std::uint64_t found,
                      std::uint64_t bound = Reason::kUnset, std::uint64_t offset = Reason::kUnset) {
    m_failure = Refusal(status::kVariablePartDamaged, check).Values(found, bound);
    if (pageStart) m_failure.At(*pageStart / m_facts.pageSize, m_facts.physicalPages);
    m_failure.offset = offset;
    return std::nullopt;
  }

 private:
  // The image offset of the variable page a pointer names: pre-6.0 a physical page whose header
  // repeats its number and whose usage word has bit 15 clear; 6.x a logical page that the current
  // PAT maps as a variable page and whose own header says so.
  std::optional<std::uint64_t> PageStart(std::uint32_t page) {
    const std::uint64_t pageSize = m_facts.pageSize;
    if (!m_facts.constants->pagesMappedThroughPat) {
      if (page < 1 || page >= m_facts.physicalPages) return std::nullopt;
      const std::uint64_t start = page * pageSize;
      if (m_reader.Ws32(start) != page ||
          (m_reader.U16(start + 4) & layout::kPre6DataPageBit) != 0) {
        return std::nullopt;
      }
      return start;
    }
    if (page < 1 || page >= m_pageMap.size()) return std::nullopt;
    const std::uint32_t mapped = m_pageMap[page];
    if ((mapped >> 24) != layout::kPageTypeVariable) return std::nullopt;
    const std::uint64_t start = std::uint64_t{mapped & 0xFFFFFF} * pageSize;
    const std::uint32_t own = (std::uint32_t{m_reader.U8(start)} << 16) | m_reader.U16(start + 2);
    if (m_reader.U8(start + 1) != layout::kPageTypeVariable || own != page) return std::nullopt;
    return start;
  }

  ByteReader m_reader;
  const FileFacts& m_facts;
  std::span<const std::uint32_t> m_pageMap;
  Reason m_failure;
};

// How many fragments of the chain are sound and distinct, and their bytes. A loop is found with
// Brent's method (a cycle of length lambda entered after mu fragments); the mu + lambda distinct
// fragments before the first repeat count as read.
struct ChainCount {
  std::uint64_t fragments = 0;
  std::uint64_t length = 0;
  bool damaged = false;
  Reason reason;
};

ChainCount CountChain(ChainWalker& walker, std::uint32_t first, std::uint64_t limit,
                      const SharedFragments* shared) {
  ChainCount result;
  std::uint32_t pointer = first;
  std::uint32_t tortoise = first;
  std::uint64_t power = 1;
  std::uint64_t lambda = 0;
  while (pointer != layout::kNoPointer) {
    const std::optional<Fragment> fragment = walker.Locate(pointer);
    if (!fragment) {
      result.damaged = true;
      result.reason = walker.Failure();
      return result;
    }
    if (shared != nullptr && shared->contains(FragmentKey(pointer))) {
      result.damaged = true;
      result.reason = Refusal(status::kVariablePartDamaged, Check::kFragmentShared).Values(pointer);
      return result;
    }
    if (result.length + fragment->dataLength > limit) {
      result.damaged = true;
      result.reason = Refusal(status::kVariablePartDamaged, Check::kFragmentTooLong)
                          .Values(result.length + fragment->dataLength, limit);
      return result;
    }
    ++result.fragments;
    result.length += fragment->dataLength;
    pointer = fragment->next;
    if (pointer == layout::kNoPointer) break;
    ++lambda;
    if (pointer == tortoise) {
      // A loop of `lambda` fragments. Find where it is entered: two walkers lambda apart meet
      // there.
      // Every fragment up to here passed its checks, so the walks below meet no fault; they
      // stop all the same if one ever did.
      const auto next = [&](std::uint32_t at) {
        const std::optional<Fragment> located = walker.Locate(at);
        return located ? located->next : layout::kNoPointer;
      };
      std::uint32_t behind = first;
      std::uint32_t ahead = first;
      for (std::uint64_t i = 0; i < lambda; ++i)
        ahead = next(ahead);
      std::uint64_t mu = 0;
      while (behind != ahead && mu < result.fragments) {
        behind = next(behind);
        ahead = next(ahead);
        ++mu;
      }
      result.fragments = std::min(mu + lambda, result.fragments);
      result.length = 0;
      std::uint32_t at = first;
      for (std::uint64_t i = 0; i < result.fragments; ++i) {
        const std::optional<Fragment> counted = walker.Locate(at);
        if (!counted) break;
        result.length += counted->dataLength;
        at = counted->next;
      }
      result.damaged = true;
      result.reason =
          Refusal(status::kVariablePartDamaged, Check::kFragmentLoop).Values(result.fragments);
      return result;
    }
    if (lambda == power) {
      tortoise = pointer;
      power *= 2;
      lambda = 0;
    }
  }
  return result;
}

}  // namespace

SharedFragments FindSharedFragments(const VariablePages& pages,
                                    std::span<const std::uint32_t> pointers) {
  SharedFragments shared;
  std::unordered_map<std::uint64_t, std::uint32_t> owners;  // fragment -> the record claiming it
  ChainWalker walker(pages);
  for (std::uint32_t record = 0; record < pointers.size(); ++record) {
    std::uint32_t pointer = pointers[record];
    while (pointer != layout::kNoPointer) {
      const std::optional<Fragment> fragment = walker.Locate(pointer);
      if (!fragment) break;  // a fault of this chain alone: reading the record reports it
      const auto [owner, claimed] = owners.try_emplace(FragmentKey(pointer), record);
      if (!claimed) {
        if (owner->second != record) shared.insert(owner->first);
        break;  // another record's fragment, or a loop in this chain
      }
      pointer = fragment->next;
    }
  }
  return shared;
}

VariablePart ReadVariablePart(const VariablePages& pages, std::uint32_t pointer,
                              std::span<std::byte> out, const SharedFragments* shared) {
  VariablePart result;
  if (pointer == layout::kNoPointer) return result;
  ChainWalker walker(pages);
  // No chain can hold more than every variable page full.
  const std::uint64_t limit = std::uint64_t{pages.facts->physicalPages} * pages.facts->pageSize;
  const ChainCount count = CountChain(walker, pointer, limit, shared);
  result.length = count.length;
  result.damaged = count.damaged;
  result.reason = count.reason;
  std::uint64_t filled = 0;
  std::uint32_t at = pointer;
  for (std::uint64_t i = 0; i < count.fragments && filled < out.size(); ++i) {
    const std::optional<Fragment> fragment = walker.Locate(at);
    if (!fragment) break;
    const std::uint64_t take = std::min<std::uint64_t>(fragment->dataLength, out.size() - filled);
    std::memcpy(out.data() + filled, pages.image.data() + fragment->dataOffset,
                static_cast<std::size_t>(take));
    filled += take;
    at = fragment->next;
  }
  return result;
}

}  // namespace btrieve

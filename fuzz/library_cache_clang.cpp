// The loader compiled for the fuzz targets. clang 14 leaves the member template ReadEntries, used
// from a generic lambda before its definition, uninstantiated; the explicit instantiations below
// provide it for both library-file classes.
#include "libraries/library_cache.cpp"  // NOLINT: the file itself, not a header

template std::shared_ptr<core::tcodelist> core::LibraryCache::ReadEntries<libfile::TBasisDatei32>(
    libfile::TBasisDatei32&, std::uint16_t, std::uint8_t, bool, bool);
template std::shared_ptr<core::tcodelist> core::LibraryCache::ReadEntries<libfile::TBasisDatei>(
    libfile::TBasisDatei&, std::uint16_t, std::uint8_t, bool, bool);

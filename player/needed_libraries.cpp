#include "player/needed_libraries.h"

#include <dlfcn.h>
#include <elf.h>
#include <link.h>

#include <fstream>
#include <functional>
#include <set>

namespace lumora {
namespace {

template <typename T>
bool ReadAt(std::ifstream& file, std::uint64_t offset, T& value) {
    file.seekg(static_cast<std::streamoff>(offset));
    return static_cast<bool>(file.read(reinterpret_cast<char*>(&value), sizeof value));
}

bool IsOwnKind(const Elf64_Ehdr& header) {
    return header.e_ident[EI_MAG0] == ELFMAG0 && header.e_ident[EI_MAG1] == ELFMAG1 &&
           header.e_ident[EI_MAG2] == ELFMAG2 && header.e_ident[EI_MAG3] == ELFMAG3 &&
           header.e_ident[EI_CLASS] == ELFCLASS64 && header.e_phentsize == sizeof(Elf64_Phdr);
}

// The file offset of a virtual address, through the segment that loads it.
bool FileOffsetOf(const std::vector<Elf64_Phdr>& segments, std::uint64_t address,
                  std::uint64_t& offset) {
    for (const Elf64_Phdr& segment : segments) {
        if (segment.p_type == PT_LOAD && address >= segment.p_vaddr &&
            address - segment.p_vaddr < segment.p_filesz) {
            offset = address - segment.p_vaddr + segment.p_offset;
            return true;
        }
    }
    return false;
}

// The folders of every library loaded so far: where the system keeps them.
int NoteFolder(dl_phdr_info* info, std::size_t, void* data) {
    const std::string path = info->dlpi_name != nullptr ? info->dlpi_name : "";
    const auto slash = path.rfind('/');
    if (slash != std::string::npos && slash > 0)
        static_cast<std::vector<std::string>*>(data)->push_back(path.substr(0, slash));
    return 0;
}

std::vector<std::string> LibraryFolders() {
    std::vector<std::string> folders;
    dl_iterate_phdr(&NoteFolder, &folders);
    std::vector<std::string> unique;
    std::set<std::string> seen;
    for (const std::string& folder : folders) {
        if (seen.insert(folder).second)
            unique.push_back(folder);
    }
    return unique;
}

bool IsLoaded(const std::string& soname) {
    void* handle = dlopen(soname.c_str(), RTLD_LAZY | RTLD_NOLOAD);
    if (handle == nullptr)
        return false;
    dlclose(handle);
    return true;
}

void OpenAfterItsNeeds(const std::string& soname, const std::vector<std::string>& folders,
                       std::set<std::string>& seen, const std::function<void()>& beforeEach) {
    if (!seen.insert(soname).second || IsLoaded(soname))
        return;
    for (const std::string& folder : folders) {
        const std::string path = folder + '/' + soname;
        if (!std::ifstream(path).good())
            continue;
        for (const std::string& needed : NeededLibraries(path))
            OpenAfterItsNeeds(needed, folders, seen, beforeEach);
        if (beforeEach)
            beforeEach();
        // A failure is left to the final dlopen, which reports it.
        dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        return;
    }
}

}  // namespace

std::vector<std::string> NeededLibraries(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    Elf64_Ehdr header{};
    if (!ReadAt(file, 0, header) || !IsOwnKind(header) || header.e_phnum > 4096)
        return {};
    std::vector<Elf64_Phdr> segments(header.e_phnum);
    for (std::size_t i = 0; i < segments.size(); ++i) {
        if (!ReadAt(file, header.e_phoff + i * sizeof(Elf64_Phdr), segments[i]))
            return {};
    }
    std::vector<std::uint64_t> neededOffsets;
    std::uint64_t stringTable = 0;
    std::uint64_t stringTableSize = 0;
    for (const Elf64_Phdr& segment : segments) {
        if (segment.p_type != PT_DYNAMIC)
            continue;
        for (std::uint64_t at = 0; at + sizeof(Elf64_Dyn) <= segment.p_filesz;
             at += sizeof(Elf64_Dyn)) {
            Elf64_Dyn entry{};
            if (!ReadAt(file, segment.p_offset + at, entry) || entry.d_tag == DT_NULL)
                break;
            if (entry.d_tag == DT_NEEDED)
                neededOffsets.push_back(entry.d_un.d_val);
            else if (entry.d_tag == DT_STRTAB)
                stringTable = entry.d_un.d_ptr;
            else if (entry.d_tag == DT_STRSZ)
                stringTableSize = entry.d_un.d_val;
        }
    }
    std::uint64_t tableOffset = 0;
    if (neededOffsets.empty() || stringTableSize == 0 || stringTableSize > (1u << 24) ||
        !FileOffsetOf(segments, stringTable, tableOffset))
        return {};
    std::string strings(stringTableSize, '\0');
    file.seekg(static_cast<std::streamoff>(tableOffset));
    if (!file.read(strings.data(), static_cast<std::streamsize>(strings.size())))
        return {};
    std::vector<std::string> needed;
    for (std::uint64_t offset : neededOffsets) {
        if (offset < strings.size())
            needed.emplace_back(strings.c_str() + offset);
    }
    return needed;
}

void OpenNeededLibrariesFirst(const std::string& soname, const std::function<void()>& beforeEach) {
    const std::vector<std::string> folders = LibraryFolders();
    std::set<std::string> seen;
    for (const std::string& folder : folders) {
        const std::string path = folder + '/' + soname;
        if (!std::ifstream(path).good())
            continue;
        for (const std::string& needed : NeededLibraries(path))
            OpenAfterItsNeeds(needed, folders, seen, beforeEach);
        return;
    }
}

}  // namespace lumora

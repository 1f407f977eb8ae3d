// What each built library exports: the D2XX names it is meant to have, the
// control interface, and nothing else.
#include <dlfcn.h>
#include <elf.h>

#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "tests/sim/sim_fixture.h"

namespace {

const std::vector<std::string> kD2xxNames = {
    "FT_Write",           "FT_Read",           "FT_Open",        "FT_OpenEx",
    "FT_ListDevices",     "FT_Close",          "FT_ResetDevice", "FT_Purge",
    "FT_SetTimeouts",     "FT_GetQueueStatus", "FT_SetBitMode",  "FT_SetLatencyTimer",
    "FT_GetLatencyTimer", "FT_EE_Program",     "FT_EE_Read",
};

// Defined global symbols of an ELF shared object's dynamic symbol table.
std::set<std::string> ExportedNames(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::set<std::string> names;
    if (file.size() < sizeof(Elf64_Ehdr))
        return names;
    auto* eh = reinterpret_cast<const Elf64_Ehdr*>(file.data());
    auto* sections = reinterpret_cast<const Elf64_Shdr*>(file.data() + eh->e_shoff);
    for (int i = 0; i < eh->e_shnum; ++i) {
        if (sections[i].sh_type != SHT_DYNSYM)
            continue;
        const Elf64_Shdr& strtab = sections[sections[i].sh_link];
        auto* syms = reinterpret_cast<const Elf64_Sym*>(file.data() + sections[i].sh_offset);
        size_t count = sections[i].sh_size / sizeof(Elf64_Sym);
        for (size_t k = 0; k < count; ++k) {
            int bind = ELF64_ST_BIND(syms[k].st_info);
            if (syms[k].st_shndx == SHN_UNDEF || (bind != STB_GLOBAL && bind != STB_WEAK))
                continue;
            names.insert(file.data() + strtab.sh_offset + syms[k].st_name);
        }
    }
    return names;
}

TEST(SimExports, EachLibraryResolvesExactlyItsNames) {
    struct Case {
        const char* path;
        std::set<std::string> missing;
    };
    const Case cases[] = {
        {RAVLEN_SIM_LIB_MAIN, {}},
        {RAVLEN_SIM_LIB_NO_EE_READ, {"FT_EE_Read"}},
        {RAVLEN_SIM_LIB_NO_PURGE_SETBITMODE, {"FT_Purge", "FT_SetBitMode"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        void* lib = dlopen(c.path, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(lib, nullptr) << dlerror();
        for (const std::string& name : kD2xxNames) {
            bool expected = c.missing.count(name) == 0;
            EXPECT_EQ(dlsym(lib, name.c_str()) != nullptr, expected) << name;
        }
        std::set<std::string> d2xx, other;
        for (const std::string& name : ExportedNames(c.path)) {
            (name.rfind("FT_", 0) == 0 ? d2xx : other).insert(name);
        }
        std::set<std::string> wanted;
        for (const std::string& name : kD2xxNames)
            if (!c.missing.count(name))
                wanted.insert(name);
        EXPECT_EQ(d2xx, wanted);
        EXPECT_TRUE(other.count("ravlen_sim_reset"));
        for (const std::string& name : other)
            EXPECT_EQ(name.rfind("ravlen_sim_", 0), 0u) << name;
    }
}

TEST(SimExports, LoadingByNameFindsTheLinkedInstance) {
    void* lib = dlopen("libftd2xx.so", RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(lib, nullptr) << dlerror();
    EXPECT_EQ(dlsym(lib, "FT_Open"), reinterpret_cast<void*>(&FT_Open));
    EXPECT_EQ(dlsym(lib, "ravlen_sim_reset"), reinterpret_cast<void*>(&ravlen_sim_reset));
}

}  // namespace

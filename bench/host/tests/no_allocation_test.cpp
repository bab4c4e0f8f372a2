// Module code never allocates: every heap allocation made while the bench drives a module (install, updates,
// every handler, kill) is checked for a caller inside the module or the Win32 stand-in it links, and there must
// be none. The allocator is replaced in this program to see each call and its caller.
#include <windows.h>

#include <dlfcn.h>
#include <link.h>

#include <atomic>
#include <cstdlib>

#include "module_test.h"

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void __libc_free(void* block);
}

namespace {

std::atomic<bool> watching{false};
std::atomic<int> module_allocations{0};
bench::ModuleImage watched;

[[maybe_unused]] void note(void* caller) {
    if (watching && watched.contains(caller, 1)) ++module_allocations;
}

}  // namespace

#if !defined(__SANITIZE_ADDRESS__)
extern "C" {
void* malloc(size_t size) {
    note(__builtin_return_address(0));
    return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) {
    note(__builtin_return_address(0));
    return __libc_calloc(count, size);
}
void* realloc(void* block, size_t size) {
    note(__builtin_return_address(0));
    return __libc_realloc(block, size);
}
void free(void* block) { __libc_free(block); }
}
void* operator new(size_t size) {
    note(__builtin_return_address(0));
    if (void* p = __libc_malloc(size ? size : 1)) return p;
    std::abort();
}
void* operator new[](size_t size) { return operator new(size); }
void operator delete(void* block) noexcept { __libc_free(block); }
void operator delete[](void* block) noexcept { __libc_free(block); }
void operator delete(void* block, size_t) noexcept { __libc_free(block); }
void operator delete[](void* block, size_t) noexcept { __libc_free(block); }
#endif

namespace {

// The ranges a shared object occupies, found by the name the loader knows it by.
void add_object_ranges(const void* address_inside, bench::ModuleImage* image) {
    Dl_info info{};
    if (!dladdr(address_inside, &info)) return;
    struct Search {
        uintptr_t base;
        bench::ModuleImage* image;
    } search{reinterpret_cast<uintptr_t>(info.dli_fbase), image};
    dl_iterate_phdr(
        [](struct dl_phdr_info* object, size_t, void* context) {
            auto* s = static_cast<Search*>(context);
            bool match = false;
            for (int i = 0; i < object->dlpi_phnum; ++i)
                if (object->dlpi_phdr[i].p_type == PT_LOAD && object->dlpi_phdr[i].p_offset == 0)
                    match = object->dlpi_addr + object->dlpi_phdr[i].p_vaddr == s->base;
            if (!match) return 0;
            for (int i = 0; i < object->dlpi_phnum; ++i)
                if (object->dlpi_phdr[i].p_type == PT_LOAD) {
                    const uintptr_t begin = object->dlpi_addr + object->dlpi_phdr[i].p_vaddr;
                    s->image->ranges.emplace_back(begin, begin + object->dlpi_phdr[i].p_memsz);
                }
            return 1;
        },
        &search);
}

class NoAllocation : public ::testing::TestWithParam<const char*> {};

TEST_P(NoAllocation, WhileTheBenchDrivesTheModule) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer owns the allocator here; the 32-bit build runs this test";
#endif
    std::string error;
    auto module = bench::LoadedModule::load(module_path(GetParam()), &error);
    ASSERT_TRUE(module) << error;
    watched = module->image();
    add_object_ranges(reinterpret_cast<const void*>(&FindResourceA), &watched);
    bench::Host host(*module);
    bench::HostRecorder recorder;
    host.add_observer(&recorder);
    // Exercise the gauge with variables at both ends of their ranges.
    for (uint32_t id : {2u, 3u, 4u, 5u, 61u, 74u, 128u, 163u, 303u, 304u, 318u, 323u, 324u, 325u, 328u, 331u})
        host.set_variable(id, 12000.0);

    watching = true;
    host.install();
    host.cycle();
    const uint32_t flags[] = {kMouseClick, kMouseRepeat, kMouseDrag};
    for (int32_t y = -100; y < 400; y += 3)
        for (int32_t x = -10; x < 420; x += 3)
            for (uint32_t flag : flags) host.pointer_event(x, y, flag);
    host.set_variable(61, 250.0);
    host.cycle();
    host.kill();
    watching = false;

    EXPECT_EQ(module_allocations.exchange(0), 0) << GetParam() << " allocated while the bench drove it";
    EXPECT_TRUE(recorder.faults.empty()) << recorder.faults.front();
}

INSTANTIATE_TEST_SUITE_P(Modules, NoAllocation, ::testing::Values(GAUGE_ALLOCATION_TEST_MODULES));

}  // namespace

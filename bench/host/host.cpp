#include "host.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "elements.h"
#include "bench_limits.h"
#include "record_check.h"

// Module code calls the services; Windows code keeps the stack only 4-byte aligned, the bench's code expects 16.
#if defined(__i386__)
#define HOST_SERVICE GAUGE_CALL __attribute__((force_align_arg_pointer))
#else
#define HOST_SERVICE GAUGE_CALL
#endif

namespace bench {

Host* Host::active_ = nullptr;

namespace {

bool inside(const MouseArea& area, int32_t x, int32_t y) {
    const int64_t dx = int64_t{x} - area.x, dy = int64_t{y} - area.y;
    return dx >= 0 && dy >= 0 && dx < area.width && dy < area.height;
}

}  // namespace

const char* service_name(HostSlot slot) {
    switch (slot) {
        case kQueryElements: return "query_elements";
        case kInstallElements: return "install_elements";
        case kInitializeElements: return "initialize_elements";
        case kUpdateElements: return "update_elements";
        case kGenerateElements: return "generate_elements";
        case kPlotElements: return "plot_elements";
        case kKillElements: return "kill_elements";
        case kInstallMouseAreas: return "install_mouse_areas";
        case kRegisterMouseAreas: return "register_mouse_areas";
        case kUnregisterMouseAreas: return "unregister_mouse_areas";
        case kSendEvent: return "send_event";
        case kInitializeVariable: return "initialize_variable";
        case kLookupVariable: return "lookup_variable";
    }
    return "unexpected host service";
}

// The host services as the module calls them. Each one works on the host that is serving the module now.
struct HostServiceCalls {
    static Host& host() { return *Host::active_; }

    static void HOST_SERVICE query_elements(ElementHeader* root) { host().log(kQueryElements, {root}); }
    static void HOST_SERVICE install_elements(ElementHeader* root, ModuleHandle module) {
        host().log(kInstallElements, {root, module});
        host().install_elements(root);
    }
    static void HOST_SERVICE initialize_elements(ElementHeader* root) { host().log(kInitializeElements, {root}); }
    static void HOST_SERVICE update_elements(ElementHeader* root) {
        host().log(kUpdateElements, {root});
        host().update_elements(root);
    }
    static void HOST_SERVICE generate_elements(ElementHeader* root, uint32_t value) {
        host().log(kGenerateElements, {root, value});
    }
    static void HOST_SERVICE plot_elements(ElementHeader* root) {
        host().log(kPlotElements, {root});
        host().tell([](HostObserver& o) { o.plot(); });
    }
    static void HOST_SERVICE kill_elements(ElementHeader* root) {
        host().log(kKillElements, {root});
        host().kill_elements();
    }
    static void HOST_SERVICE install_mouse_areas(MouseArea* areas, GaugeHeader* header, PixelSize* size) {
        host().log(kInstallMouseAreas, {areas, header, size});
        const std::string error = check_mouse_list(host().module_, areas);
        if (!error.empty()) {
            host().refusal_ = error;
            host().mouse_areas_ = nullptr;
            return;
        }
        host().mouse_areas_ = areas;
    }
    static void HOST_SERVICE register_mouse_areas(MouseArea* areas, GaugeHeader* header) {
        host().log(kRegisterMouseAreas, {areas, header});
        if (areas == host().mouse_areas_) host().mouse_registered_ = true;
    }
    static void HOST_SERVICE unregister_mouse_areas(MouseArea* areas, GaugeHeader* header) {
        host().log(kUnregisterMouseAreas, {areas, header});
        if (areas == host().mouse_areas_) host().mouse_registered_ = false;
    }
    static void HOST_SERVICE send_event(uint32_t id, int32_t value) {
        host().log(kSendEvent, {id, value});
        const SentEvent event{id, value};
        host().tell([&](HostObserver& o) { o.event(event); });
    }
    static void HOST_SERVICE initialize_variable(ModuleVariable* variable) {
        host().log(kInitializeVariable, {variable});
        host().announce(variable, kInitializeVariable);
    }
    static void HOST_SERVICE lookup_variable(ModuleVariable* variable) {
        host().log(kLookupVariable, {variable});
        host().announce(variable, kLookupVariable);
        variable->value = host().variable(variable->id);
    }

    // Slots the module has no business calling. They take no arguments, so they cannot pop what a caller may
    // have pushed; they only record the fault for the bench to report.
    template <size_t Slot>
    static void HOST_SERVICE unexpected() {
        host().fault("unexpected host service " + std::to_string(Slot));
    }
    template <size_t... Slots>
    static void fill_unexpected(std::array<HostServiceAddress, 64>& table, std::index_sequence<Slots...>) {
        ((table[Slots] = &unexpected<Slots>), ...);
    }

    static void fill(std::array<HostServiceAddress, 64>& table) {
        fill_unexpected(table, std::make_index_sequence<64>());
        auto put = [&](HostSlot slot, auto function) { table[slot] = reinterpret_cast<HostServiceAddress>(function); };
        put(kQueryElements, &query_elements);
        put(kInstallElements, &install_elements);
        put(kInitializeElements, &initialize_elements);
        put(kUpdateElements, &update_elements);
        put(kGenerateElements, &generate_elements);
        put(kPlotElements, &plot_elements);
        put(kKillElements, &kill_elements);
        put(kInstallMouseAreas, &install_mouse_areas);
        put(kRegisterMouseAreas, &register_mouse_areas);
        put(kUnregisterMouseAreas, &unregister_mouse_areas);
        put(kSendEvent, &send_event);
        put(kInitializeVariable, &initialize_variable);
        put(kLookupVariable, &lookup_variable);
    }
};

template <typename Call>
bool Host::guarded(const ModuleEntry& entry, Call&& call) {
    active_ = this;
    if (module_.guard().enter(entry, call)) return true;
    if (!told_failure_) {
        told_failure_ = true;
        const std::string& what = failure();
        tell([&](HostObserver& o) { o.module_failed(what); });
    }
    return false;
}

bool Host::routine(const char* name, void (*call)(GaugeHeader*, ModuleHandle, uint32_t), uint32_t value) {
    return guarded({ModuleEntry::kRoutine, name}, [&] { call(header(), module_.handle(), value); });
}

Host::Host(LoadedModule& module, VariableStore* variables)
    : module_(module), variables_(variables ? variables : &own_variables_) {
    HostServiceCalls::fill(services_);
    active_ = this;
    module_.set_host_time(0);
    module_.set_debug_output([this](const std::string& text) { tell([&](HostObserver& o) { o.debug_output(text); }); });
    if (module_.guard().failed()) return;
    module_.services_entry()->target = services_.data();
    guarded({ModuleEntry::kModuleInit}, [&] { module_.linkage()->module_init(); });
}

Host::~Host() {
    if (!failed()) guarded({ModuleEntry::kModuleDeinit}, [&] { module_.linkage()->module_deinit(); });
    if (!failed()) module_.services_entry()->target = nullptr;
    module_.set_debug_output(nullptr);
    active_ = nullptr;
}

void Host::add_observer(HostObserver* observer) {
    if (std::find(observers_.begin(), observers_.end(), observer) == observers_.end()) observers_.push_back(observer);
}

void Host::remove_observer(HostObserver* observer) { std::erase(observers_, observer); }

void Host::log(HostSlot slot, std::initializer_list<CallArgument> arguments) {
    if (observers_.empty()) return;  // nothing is built for a call nobody hears
    const HostCall call{slot, std::vector<CallArgument>(arguments)};
    tell([&](HostObserver& o) { o.call(call); });
}

void Host::announce(const ModuleVariable* variable, HostSlot slot) {
    for (const AnnouncedVariable& known : announced_)
        if (known.variable == variable) return;
    announced_.push_back({variable, slot});
}

void Host::fault(const std::string& what) {
    tell([&](HostObserver& o) { o.fault(what); });
}

// Routines, each under the module's guard. Each makes this host the one that serves the module's calls.
void Host::query() {
    routine("gauge_query", [](GaugeHeader* h, ModuleHandle, uint32_t) { h->query(); });
}
void Host::install() {
    routine("gauge_install", [](GaugeHeader* h, ModuleHandle m, uint32_t) { h->install(m); });
}
void Host::initialize() {
    routine("gauge_initialize", [](GaugeHeader* h, ModuleHandle, uint32_t) { h->initialize(); });
}
void Host::update() {
    routine("gauge_update", [](GaugeHeader* h, ModuleHandle, uint32_t) { h->update(); });
}
void Host::generate(uint32_t value) {
    routine(
        "gauge_generate", [](GaugeHeader* h, ModuleHandle, uint32_t v) { h->generate(v); }, value);
}
void Host::draw() {
    routine("gauge_draw", [](GaugeHeader* h, ModuleHandle, uint32_t) { h->draw(); });
}
void Host::kill() {
    routine("gauge_kill", [](GaugeHeader* h, ModuleHandle, uint32_t) { h->kill(); });
}
void Host::cycle() {
    ++cycles_;
    module_.set_host_time(uint64_t{cycles_} * 1000000 / kCyclesPerSecond);
    update();
    generate(cycles_);
    draw();
}

bool Host::install_or_refuse(std::string* error) {
    install();
    if (failed()) {
        *error = module_.path() + ": " + failure();
        return false;
    }
    if (refusal_.empty()) return true;
    *error = module_.path() + ": " + refusal_;
    return false;
}

std::vector<ElementHeader*> Host::elements() const {
    std::vector<ElementHeader*> out;
    walk_tree(header()->elements[0], [&](ElementHeader* element, size_t) { out.push_back(element); });
    return out;
}

std::vector<StringElement*> Host::strings() const {
    std::vector<StringElement*> out;
    for (ElementHeader* element : elements())
        if (element->kind == kString) out.push_back(reinterpret_cast<StringElement*>(element));
    return out;
}

ElementValues Host::values(const ElementHeader* element) const {
    auto found = values_.find(element);
    return found == values_.end() ? ElementValues{} : found->second;
}

PixelSize Host::image_size(const ElementHeader* element) const {
    const HostImageRecord* record = image_record(element);
    return record ? record->size : PixelSize{0, 0};
}

const HostImageRecord* Host::image_record(const ElementHeader* element) const {
    auto found = image_records_.find(element);
    return found == image_records_.end() ? nullptr : found->second.get();
}

void Host::install_elements(ElementHeader* root) {
    walk_tree(root, [&](ElementHeader* element, size_t) {
        if (element->kind == kStaticImage) {
            auto& record = image_records_[element];
            if (!record) record = std::make_unique<HostImageRecord>();
            Bitmap bitmap;
            std::string error;
            if (module_.bitmap(element->resource_id, &bitmap, &error))
                record->size = {bitmap.width, bitmap.height};
            else
                fault("element with resource " + std::to_string(element->resource_id) + ": " + error);
            reinterpret_cast<StaticImageElement*>(element)->image_record = record.get();
        } else if (element->kind == kString) {
            auto* string = reinterpret_cast<StringElement*>(element);
            TextBuffer& buffer = text_buffers_[string];
            const size_t capacity = size_t{string->char_count} + 1;
            if (buffer.bytes.empty() || buffer.capacity != capacity) {
                buffer.capacity = capacity;
                buffer.bytes.assign(capacity + 2 * kGuardBytes, static_cast<char>(kGuardByte));
                std::memset(buffer.bytes.data() + kGuardBytes, 0, capacity);
                buffer.last_text.clear();
            }
            buffer.last_fore = string->fore_colour;
            buffer.last_back = string->back_colour;
            string->text = buffer.bytes.data() + kGuardBytes;
        }
    });
    installed_ = true;
}

void Host::kill_elements() { installed_ = false; }

bool Host::guards_intact(const TextBuffer& buffer) const {
    const char* bytes = buffer.bytes.data();
    for (size_t i = 0; i < kGuardBytes; ++i)
        if (static_cast<uint8_t>(bytes[i]) != kGuardByte ||
            static_cast<uint8_t>(bytes[kGuardBytes + buffer.capacity + i]) != kGuardByte)
            return false;
    return true;
}

void Host::run_text_callback(StringElement& string, size_t string_number) {
    auto found = text_buffers_.find(&string);
    if (found == text_buffers_.end()) return;  // not installed
    TextBuffer& buffer = found->second;
    string.text = buffer.bytes.data() + kGuardBytes;
    if (string.text_callback && !guarded({ModuleEntry::kTextCallback, nullptr, static_cast<int32_t>(string_number)},
                                         [&] { string.text_callback(string.sources[0].value); }))
        return;
    if (!guards_intact(buffer)) {
        fault("string element at (" + std::to_string(string.header.position_x) + ", " +
              std::to_string(string.header.position_y) + "): text written past its buffer of " +
              std::to_string(buffer.capacity) + " bytes");
        std::memset(buffer.bytes.data(), kGuardByte, kGuardBytes);
        std::memset(buffer.bytes.data() + kGuardBytes + buffer.capacity, kGuardByte, kGuardBytes);
    }
    std::string now = text(&string);
    if (now == buffer.last_text && string.fore_colour == buffer.last_fore && string.back_colour == buffer.last_back)
        return;
    buffer.last_text = now;
    buffer.last_fore = string.fore_colour;
    buffer.last_back = string.back_colour;
    const TextChange change{string_number, &string, std::move(now), string.fore_colour, string.back_colour};
    tell([&](HostObserver& o) { o.text(change); });
}

void Host::run_callbacks(ElementHeader* element, size_t element_number, size_t* string_number) {
    if (element->kind == kString) {
        run_text_callback(*reinterpret_cast<StringElement*>(element), ++*string_number);
        return;
    }
    const ElementSources sources = element_sources(*element);
    if (sources.count == 0) return;
    auto value_of = [&](const ElementSource& source) {
        if (!source.callback) return source.variable->value;
        double value = 0;
        guarded({ModuleEntry::kValueCallback, nullptr, static_cast<int32_t>(element_number)},
                [&] { value = source.callback(source.variable); });
        return value;
    };
    ElementValues& out = values_[element];
    // One source: the element's value; two: its x and y axes.
    if (sources.count == 1) {
        out.value = value_of(sources.items[0]);
    } else {
        out.x_value = value_of(sources.items[0]);
        out.y_value = value_of(sources.items[1]);
    }
}

void Host::update_elements(ElementHeader* root) {
    // Every element's variables first, so that each callback sees this update's values of all of them.
    walk_tree(root, [&](ElementHeader* element, size_t) {
        for (const ElementSource& source : element_sources(*element))
            if (source.variable->id != 0) source.variable->value = variable(source.variable->id);
    });
    size_t element_number = 0, string_number = 0;
    walk_tree(root, [&](ElementHeader* element, size_t) {
        if (!failed()) run_callbacks(element, ++element_number, &string_number);
    });
}

const MouseArea* Host::area_at(int32_t x, int32_t y, uint32_t flags) const {
    if (!mouse_registered_) return nullptr;
    for (const MouseArea* area : bench::child_areas(mouse_areas_))
        if (area->handler && (area->event_flags & flags) != 0 && inside(*area, x, y)) return area;
    return nullptr;
}

std::vector<const MouseArea*> Host::child_areas() const {
    std::vector<const MouseArea*> out;
    if (!mouse_registered_) return out;
    for (const MouseArea* area : bench::child_areas(mouse_areas_))
        if (area->handler) out.push_back(area);
    return out;
}

bool Host::pointer_event(int32_t x, int32_t y, uint32_t flags, int32_t* result) {
    if (failed()) return false;
    const MouseArea* area = area_at(x, y, flags);
    if (!area) return false;
    PixelPoint point{x, y};
    int32_t returned = 0;
    const ModuleEntry entry{
        ModuleEntry::kMouseHandler, nullptr, static_cast<int32_t>(area - mouse_areas_), x, y, flags};
    if (!guarded(entry, [&] { returned = area->handler(&point, flags); })) return true;
    if (result) *result = returned;
    return true;
}

std::string Host::text(const StringElement* string) const {
    auto found = text_buffers_.find(string);
    if (found == text_buffers_.end()) return "";
    const char* bytes = found->second.bytes.data() + kGuardBytes;
    const void* end = std::memchr(bytes, 0, found->second.capacity);
    return std::string(bytes, end ? static_cast<const char*>(end) - bytes : found->second.capacity);
}

}  // namespace bench

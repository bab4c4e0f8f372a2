#include "host.h"

#include "module_check.h"

#include <cstdio>
#include <cstring>
#include <utility>

namespace bench {

Host* Host::active_ = nullptr;

namespace {

constexpr size_t kTreeDepthLimit = 64;
constexpr size_t kMouseAreaLimit = 256;

uintptr_t address(const void* p) { return reinterpret_cast<uintptr_t>(p); }

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

    static void GAUGE_CALL query_elements(ElementHeader* root) { host().log(kQueryElements, {address(root)}); }
    static void GAUGE_CALL install_elements(ElementHeader* root, ModuleHandle module) {
        host().log(kInstallElements, {address(root), address(module)});
        host().install_elements(root);
    }
    static void GAUGE_CALL initialize_elements(ElementHeader* root) {
        host().log(kInitializeElements, {address(root)});
    }
    static void GAUGE_CALL update_elements(ElementHeader* root) {
        host().log(kUpdateElements, {address(root)});
        host().update_elements(root);
    }
    static void GAUGE_CALL generate_elements(ElementHeader* root, uint32_t value) {
        host().log(kGenerateElements, {address(root), value});
    }
    static void GAUGE_CALL plot_elements(ElementHeader* root) {
        host().log(kPlotElements, {address(root)});
        if (host().on_plot) host().on_plot(host());
    }
    static void GAUGE_CALL kill_elements(ElementHeader* root) {
        host().log(kKillElements, {address(root)});
        host().kill_elements();
    }
    static void GAUGE_CALL install_mouse_areas(MouseArea* areas, GaugeHeader* header, PixelSize* size) {
        host().log(kInstallMouseAreas, {address(areas), address(header), address(size)});
        const std::string error = check_mouse_list(host().module_, areas);
        if (!error.empty()) {
            host().refusal_ = error;
            host().mouse_areas_ = nullptr;
            return;
        }
        host().mouse_areas_ = areas;
    }
    static void GAUGE_CALL register_mouse_areas(MouseArea* areas, GaugeHeader* header) {
        host().log(kRegisterMouseAreas, {address(areas), address(header)});
        if (areas == host().mouse_areas_) host().mouse_registered_ = true;
    }
    static void GAUGE_CALL unregister_mouse_areas(MouseArea* areas, GaugeHeader* header) {
        host().log(kUnregisterMouseAreas, {address(areas), address(header)});
        if (areas == host().mouse_areas_) host().mouse_registered_ = false;
    }
    static void GAUGE_CALL send_event(uint32_t id, int32_t value) {
        host().log(kSendEvent, {id, static_cast<uint32_t>(value)});
        host().events_.push_back({id, value});
        if (host().on_event) host().on_event(host().events_.back());
    }
    static void GAUGE_CALL initialize_variable(ModuleVariable* variable) {
        host().log(kInitializeVariable, {address(variable)});
    }
    static void GAUGE_CALL lookup_variable(ModuleVariable* variable) {
        host().log(kLookupVariable, {address(variable)});
        variable->value = host().variable(variable->id);
    }

    // Slots the module has no business calling. They take no arguments, so they cannot pop what a caller may
    // have pushed; they only record the fault for the bench to report.
    template <size_t Slot>
    static void GAUGE_CALL unexpected() {
        host().faults_.push_back("unexpected host service " + std::to_string(Slot));
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

Host::Host(LoadedModule& module) : module_(module) {
    HostServiceCalls::fill(services_);
    active_ = this;
    module_.services_entry()->target = services_.data();
    module_.linkage()->module_init();
}

Host::~Host() {
    active_ = this;
    module_.linkage()->module_deinit();
    module_.services_entry()->target = nullptr;
    active_ = nullptr;
}

double Host::variable(uint32_t id) const {
    auto found = variables_.find(id);
    return found == variables_.end() ? 0.0 : found->second;
}

void Host::log(HostSlot slot, std::initializer_list<uintptr_t> args) {
    if (call_log_) calls_.push_back({slot, std::vector<uintptr_t>(args)});
}

void Host::clear_logs() {
    calls_.clear();
    events_.clear();
    faults_.clear();
}

// Routines. Each makes this host the one that serves the module's calls.
void Host::query() {
    active_ = this;
    header()->query();
}
void Host::install() {
    active_ = this;
    header()->install(module_.handle());
}
void Host::initialize() {
    active_ = this;
    header()->initialize();
}
void Host::update() {
    active_ = this;
    header()->update();
}
void Host::generate(uint32_t value) {
    active_ = this;
    header()->generate(value);
}
void Host::draw() {
    active_ = this;
    header()->draw();
}
void Host::kill() {
    active_ = this;
    header()->kill();
}
void Host::cycle() {
    ++cycles_;
    update();
    generate(cycles_);
    draw();
}

template <typename Visit>
void Host::walk(ElementHeader* root, Visit&& visit) const {
    // The records were checked at load (no cycle, lists ended); the depth bound keeps even a tree the module
    // rewired since from running away.
    auto step = [&](auto& self, ElementHeader* element, size_t depth) -> void {
        if (!element || depth > kTreeDepthLimit) return;
        visit(element);
        if (!element->children) return;
        for (ElementList child = element->children; *child; ++child) self(self, *child, depth + 1);
    };
    step(step, root, 0);
}

std::vector<ElementHeader*> Host::elements() const {
    std::vector<ElementHeader*> out;
    walk(header()->elements[0], [&](ElementHeader* element) { out.push_back(element); });
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
    auto found = image_records_.find(element);
    return found == image_records_.end() ? PixelSize{0, 0} : found->second->size;
}

void Host::install_elements(ElementHeader* root) {
    walk(root, [&](ElementHeader* element) {
        if (element->kind == kStaticImage) {
            auto& record = image_records_[element];
            if (!record) record = std::make_unique<HostImageRecord>();
            Bitmap bitmap;
            std::string error;
            if (module_.bitmap(element->resource_id, &bitmap, &error))
                record->size = {bitmap.width, bitmap.height};
            else
                faults_.push_back("element with resource " + std::to_string(element->resource_id) + ": " + error);
            reinterpret_cast<StaticImageElement*>(element)->image_record = record.get();
        } else if (element->kind == kString) {
            auto* string = reinterpret_cast<StringElement*>(element);
            TextBuffer& buffer = text_buffers_[string];
            const size_t capacity = size_t{string->char_count} + 1;
            if (buffer.bytes.empty() || buffer.capacity != capacity) {
                buffer.capacity = capacity;
                buffer.bytes.assign(capacity + 2 * kGuardBytes, static_cast<char>(kGuardByte));
                std::memset(buffer.bytes.data() + kGuardBytes, 0, capacity);
            }
            string->text = buffer.bytes.data() + kGuardBytes;
        }
    });
    installed_ = true;
}

void Host::kill_elements() { installed_ = false; }

void Host::refresh_element_variables(ElementHeader* element) {
    auto refresh = [&](ModuleVariable& v) {
        if (v.id != 0) v.value = variable(v.id);
    };
    switch (element->kind) {
        case kNeedle: refresh(reinterpret_cast<NeedleElement*>(element)->source); break;
        case kString:
            for (ModuleVariable& source : reinterpret_cast<StringElement*>(element)->sources) refresh(source);
            break;
        case kSlider:
            refresh(reinterpret_cast<SliderElement*>(element)->x_axis.source);
            refresh(reinterpret_cast<SliderElement*>(element)->y_axis.source);
            break;
        case kIcon: refresh(reinterpret_cast<IconElement*>(element)->source); break;
        case kMovingImage:
            refresh(reinterpret_cast<MovingImageElement*>(element)->x_axis.source);
            refresh(reinterpret_cast<MovingImageElement*>(element)->y_axis.source);
            break;
        default: break;
    }
}

bool Host::guards_intact(const TextBuffer& buffer) const {
    const char* bytes = buffer.bytes.data();
    for (size_t i = 0; i < kGuardBytes; ++i)
        if (static_cast<uint8_t>(bytes[i]) != kGuardByte ||
            static_cast<uint8_t>(bytes[kGuardBytes + buffer.capacity + i]) != kGuardByte)
            return false;
    return true;
}

void Host::run_callbacks(ElementHeader* element) {
    ElementValues& out = values_[element];
    auto value_of = [](ModuleVariable& source, ValueCallback callback) {
        return callback ? callback(&source) : source.value;
    };
    switch (element->kind) {
        case kNeedle: {
            auto* needle = reinterpret_cast<NeedleElement*>(element);
            out.value = value_of(needle->source, needle->value_callback);
            break;
        }
        case kString: {
            auto* string = reinterpret_cast<StringElement*>(element);
            auto found = text_buffers_.find(string);
            if (found == text_buffers_.end()) break;  // not installed
            string->text = found->second.bytes.data() + kGuardBytes;
            if (string->text_callback) string->text_callback(string->sources[0].value);
            if (!guards_intact(found->second)) {
                faults_.push_back("string element at (" + std::to_string(element->position_x) + ", " +
                                  std::to_string(element->position_y) + "): text written past its buffer of " +
                                  std::to_string(found->second.capacity) + " bytes");
                std::memset(found->second.bytes.data(), kGuardByte, kGuardBytes);
                std::memset(found->second.bytes.data() + kGuardBytes + found->second.capacity, kGuardByte,
                            kGuardBytes);
            }
            break;
        }
        case kSlider: {
            auto* slider = reinterpret_cast<SliderElement*>(element);
            out.x_value = value_of(slider->x_axis.source, slider->x_axis.callback);
            out.y_value = value_of(slider->y_axis.source, slider->y_axis.callback);
            break;
        }
        case kIcon: {
            auto* icon = reinterpret_cast<IconElement*>(element);
            out.value = value_of(icon->source, icon->value_callback);
            break;
        }
        case kMovingImage: {
            auto* moving = reinterpret_cast<MovingImageElement*>(element);
            out.x_value = value_of(moving->x_axis.source, moving->x_axis.callback);
            out.y_value = value_of(moving->y_axis.source, moving->y_axis.callback);
            break;
        }
        default: break;
    }
}

void Host::update_elements(ElementHeader* root) {
    // Every element's variables first, so that each callback sees this update's values of all of them.
    walk(root, [&](ElementHeader* element) { refresh_element_variables(element); });
    walk(root, [&](ElementHeader* element) { run_callbacks(element); });
}

const MouseArea* Host::area_at(int32_t x, int32_t y, uint32_t flags) const {
    if (!mouse_registered_ || !mouse_areas_ || mouse_areas_[0].kind != kAreaParent) return nullptr;
    for (size_t i = 1; i < kMouseAreaLimit && mouse_areas_[i].kind != kAreaEnd; ++i) {
        const MouseArea& area = mouse_areas_[i];
        if (area.kind == kAreaChild && area.handler && (area.event_flags & flags) != 0 && inside(area, x, y))
            return &area;
    }
    return nullptr;
}

std::vector<const MouseArea*> Host::child_areas() const {
    std::vector<const MouseArea*> out;
    if (!mouse_registered_ || !mouse_areas_ || mouse_areas_[0].kind != kAreaParent) return out;
    for (size_t i = 1; i < kMouseAreaLimit && mouse_areas_[i].kind != kAreaEnd; ++i)
        if (mouse_areas_[i].kind == kAreaChild && mouse_areas_[i].handler) out.push_back(&mouse_areas_[i]);
    return out;
}

bool Host::pointer_event(int32_t x, int32_t y, uint32_t flags, int32_t* result) {
    const MouseArea* area = area_at(x, y, flags);
    if (!area) return false;
    active_ = this;
    PixelPoint point{x, y};
    const int32_t returned = area->handler(&point, flags);
    if (result) *result = returned;
    return true;
}

std::string Host::describe(const CallRecord& call) const {
    std::string out = service_name(call.slot);
    out += "(";
    const std::vector<std::string> arguments = describe_arguments(call);
    for (size_t i = 0; i < arguments.size(); ++i) out += (i ? ", " : "") + arguments[i];
    return out + ")";
}

std::vector<std::string> Host::describe_arguments(const CallRecord& call) const {
    std::map<uintptr_t, std::string> names;
    GaugeHeader* gauge = header();
    names[address(gauge)] = "header";
    names[address(gauge->elements)] = "root list";
    names[address(module_.handle())] = "module handle";
    if (mouse_areas_) names[address(mouse_areas_)] = "mouse list";
    int index = 0;
    for (ElementHeader* element : elements()) {
        const std::string name = index == 0 ? "background" : "element " + std::to_string(index);
        names[address(element)] = name + " (kind " + std::to_string(element->kind) + ")";
        auto record = image_records_.find(element);
        if (record != image_records_.end()) {
            names[address(record->second.get())] = name + " image record";
            names[address(&record->second->size)] = name + " image size";
        }
        ++index;
    }
    auto name_of = [&](uintptr_t value) {
        auto found = names.find(value);
        if (found != names.end()) return found->second;
        char text[32];
        std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
        return std::string(text);
    };
    std::vector<std::string> out;
    for (size_t i = 0; i < call.args.size(); ++i) {
        if (call.slot == kSendEvent)
            out.push_back(i == 0 ? std::to_string(call.args[0]) : std::to_string(static_cast<int32_t>(call.args[1])));
        else if (call.slot == kGenerateElements && i == 1)
            out.push_back(std::to_string(call.args[1]));
        else if (call.slot == kInitializeVariable || call.slot == kLookupVariable)
            out.push_back("variable " + std::to_string(reinterpret_cast<const ModuleVariable*>(call.args[0])->id));
        else
            out.push_back(name_of(call.args[i]));
    }
    return out;
}

std::string Host::text(const StringElement* string) const {
    auto found = text_buffers_.find(string);
    if (found == text_buffers_.end()) return "";
    const char* bytes = found->second.bytes.data() + kGuardBytes;
    const void* end = std::memchr(bytes, 0, found->second.capacity);
    return std::string(bytes, end ? static_cast<const char*>(end) - bytes : found->second.capacity);
}

}  // namespace bench

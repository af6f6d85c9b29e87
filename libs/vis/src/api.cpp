// The host's C interface: the handle table, plugin loading and checking, and the frames.
#include "bass_vis.h"
#include "helper_client.h"
#include "loader.h"
#include "mirvane_vis_sonique.h"
#include "mirvane_vis_winamp.h"
#include "panel_plugin.h"
#include "sound.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace mirvane::vis;

namespace {

thread_local std::string t_error;
thread_local std::string t_found;

std::atomic<int> g_sensitivity{2}; // 1..4
std::atomic<int> g_fftZoom{0};     // 0..3
std::atomic<int> g_waveZoom{0};    // 0..5

void fail(const std::string &file, const std::string &why) {
    t_error = "vis: " + file + ": " + why;
}
void ok() {
    t_error.clear();
}

enum class Kind { Panel, Module };

// One channel's newest sound, shared by every visualisation of that channel: reading a
// recording takes its bytes away, so two plugins on one recording must share what was read.
struct SharedTap {
    std::mutex mutex;
    SoundTap tap; // guarded by mutex
};
std::mutex g_tapMutex;
std::map<DWORD, std::weak_ptr<SharedTap>> g_taps; // guarded by g_tapMutex

std::shared_ptr<SharedTap> tapFor(DWORD channel) {
    std::lock_guard<std::mutex> g(g_tapMutex);
    for (auto it = g_taps.begin(); it != g_taps.end();)
        it = it->second.expired() ? g_taps.erase(it) : std::next(it);
    auto tap = g_taps[channel].lock();
    if (!tap) {
        tap = std::make_shared<SharedTap>();
        g_taps[channel] = tap;
    }
    return tap;
}

struct Vis {
    Kind kind = Kind::Panel;
    std::unique_ptr<Library> lib;
    std::string name;
    bool nameOnly = true;
    bool stopped = false;
    std::chrono::steady_clock::time_point born = std::chrono::steady_clock::now();
    // The sound of the last render: copied from the channel's shared tap.
    std::shared_ptr<SharedTap> tap;
    DWORD tapChannel = 0;
    std::array<std::array<float, kWaveFrames>, 2> wave{};
    std::array<float, kFftBins> fft{};
    // Panel plugins: in a helper process, or in this one (panel) when there is no helper.
    std::unique_ptr<PanelHelper> helper;
    const MvisSoniqueModule *panel = nullptr;
    void *state = nullptr;
    MvisSoniqueData data{};
    // Module files.
    MvisWinampModule *module = nullptr;
    std::vector<uint32_t> frame;

    uint32_t millis() const {
        return uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - born)
                            .count());
    }

    void readSound(DWORD channel) {
        if (channel == 0) {
            tap.reset();
            wave = {};
            fft = {};
            return;
        }
        if (!tap || tapChannel != channel) {
            tap = tapFor(channel);
            tapChannel = channel;
        }
        std::lock_guard<std::mutex> g(tap->mutex);
        tap->tap.update(channel);
        wave = tap->tap.wave();
        fft = tap->tap.fft();
    }

    ~Vis() {
        if (nameOnly)
            return;
        if (panel && panel->deinit)
            panel->deinit(state);
        if (module && module->quit)
            module->quit(module);
    }
};

// The table of live handles. A handle's plugin is called outside the lock, by the one thread
// that owns the handle.
std::mutex g_mutex;
std::map<HVIS, std::shared_ptr<Vis>> g_handles; // guarded by g_mutex
std::set<MvisWinampModule *> g_running;         // guarded by g_mutex
HVIS g_next = 1;                                // guarded by g_mutex
bool g_helperChosen = false;                    // guarded by g_mutex
std::string g_helper;                           // guarded by g_mutex; "" runs plugins here

std::string helperPath() {
    std::lock_guard<std::mutex> g(g_mutex);
    if (!g_helperChosen) {
        g_helper = DefaultHelperPath();
        g_helperChosen = true;
    }
    return g_helper;
}

HVIS add(std::shared_ptr<Vis> v) {
    std::lock_guard<std::mutex> g(g_mutex);
    const HVIS h = g_next++;
    g_handles[h] = std::move(v);
    return h;
}

std::shared_ptr<Vis> find(HVIS h, Kind kind) {
    std::lock_guard<std::mutex> g(g_mutex);
    const auto it = g_handles.find(h);
    if (it == g_handles.end() || it->second->kind != kind)
        return nullptr;
    return it->second;
}

BOOL release(HVIS h, Kind kind) {
    std::shared_ptr<Vis> v;
    {
        std::lock_guard<std::mutex> g(g_mutex);
        const auto it = g_handles.find(h);
        if (it == g_handles.end() || it->second->kind != kind)
            return FALSE;
        v = std::move(it->second);
        g_handles.erase(it);
        if (v->module && !v->nameOnly)
            g_running.erase(v->module);
    }
    v.reset(); // quits the plugin and unloads the file, outside the lock
    ok();
    return TRUE;
}

bool needsQuotes(const std::string &s) {
    return std::any_of(s.begin(), s.end(), [](char c) {
        return static_cast<unsigned char>(c) <= ' ' || c == ',' || c == '"';
    });
}

bool matches(const fs::path &p, DWORD flags) {
    const std::string name = p.filename().string();
    auto endsWith = [&](const char *suffix) {
        const size_t n = std::char_traits<char>::length(suffix);
        return name.size() > n && name.compare(name.size() - n, n, suffix) == 0;
    };
    if ((flags & BASS_VIS_FIND_SONIQUE) && endsWith(".svp"))
        return true;
    return (flags & BASS_VIS_FIND_WINAMP) && name.rfind("vis_", 0) == 0 && endsWith(".so");
}

template <typename Iterator> void collect(Iterator it, DWORD flags, std::vector<std::string> &out) {
    std::error_code ec;
    for (auto end = Iterator(); it != end; it.increment(ec)) {
        if (ec)
            break;
        std::error_code fe;
        if (it->is_regular_file(fe) && matches(it->path(), flags))
            out.push_back(it->path().string());
    }
}

} // namespace

extern "C" {

const char *BASS_VIS_FindPlugins(const char *path, DWORD flags) {
    if (!path)
        return nullptr;
    std::vector<std::string> files;
    std::error_code ec;
    const fs::path dir(path);
    if (flags & BASS_VIS_FIND_RECURSIVE)
        collect(fs::recursive_directory_iterator(dir, fs::directory_options::skip_permission_denied,
                                                 ec),
                flags, files);
    else
        collect(fs::directory_iterator(dir, ec), flags, files);
    std::sort(files.begin(), files.end());
    t_found.clear();
    for (const std::string &f : files) {
        if (!t_found.empty())
            t_found += ',';
        if (needsQuotes(f)) {
            t_found += '"';
            for (char c : f)
                t_found += c == '"' ? std::string("\"\"") : std::string(1, c);
            t_found += '"';
        } else {
            t_found += f;
        }
    }
    ok();
    return t_found.c_str();
}

BOOL BASS_VIS_SetConfig(DWORD option, DWORD value) {
    switch (option) {
    case BASS_VIS_CONFIG_FFT_SENSITIVITY:
        if (value < 1 || value > 4)
            break;
        g_sensitivity = int(value);
        return TRUE;
    case BASS_VIS_CONFIG_FFT_ZOOM:
        if (value > 3)
            break;
        g_fftZoom = int(value);
        return TRUE;
    case BASS_VIS_CONFIG_WAVE_ZOOM:
        if (value > 5)
            break;
        g_waveZoom = int(value);
        return TRUE;
    default:
        break;
    }
    t_error = "vis: option " + std::to_string(option) + " cannot take " + std::to_string(value);
    return FALSE;
}

DWORD BASS_VIS_GetConfig(DWORD option) {
    switch (option) {
    case BASS_VIS_CONFIG_FFT_SENSITIVITY:
        return DWORD(g_sensitivity.load());
    case BASS_VIS_CONFIG_FFT_ZOOM:
        return DWORD(g_fftZoom.load());
    case BASS_VIS_CONFIG_WAVE_ZOOM:
        return DWORD(g_waveZoom.load());
    default:
        return DWORD(-1);
    }
}

const char *BASS_VIS_GetErrorText(void) {
    return t_error.c_str();
}

BOOL BASS_VIS_SetHelper(const char *path) {
    std::lock_guard<std::mutex> g(g_mutex);
    g_helper = path ? path : "";
    g_helperChosen = true;
    return TRUE;
}

/* ---- Panel plugins --------------------------------------------------------------------- */

HVIS BASS_SONIQUEVIS_CreateVis(const char *file, const char *settings, DWORD flags, int width,
                               int height) {
    if (!file || !*file) {
        fail("(no file)", "no plugin file given");
        return 0;
    }
    std::string why;
    auto v = std::make_shared<Vis>();
    const bool nameOnly = flags & BASS_VIS_NAME_ONLY;
    width = nameOnly ? 1 : std::clamp(width, 1, 4096);
    height = nameOnly ? 1 : std::clamp(height, 1, 4096);
    if (const std::string helper = helperPath(); !helper.empty()) {
        // The plugin runs in a process of its own: its crash or hang cannot end ours.
        v->helper = PanelHelper::start(helper, file, settings ? settings : "", nameOnly, width,
                                       height, &why);
        if (!v->helper) {
            fail(file, why);
            return 0;
        }
        v->name = v->helper->name();
        v->nameOnly = nameOnly;
        ok();
        return add(std::move(v));
    }
    v->lib = Library::open(file, &why);
    if (!v->lib) {
        fail(file, "cannot be loaded: " + why);
        return 0;
    }
    const MvisSoniqueModule *m = PanelModule(*v->lib, &why);
    if (!m) {
        fail(file, why);
        return 0;
    }
    v->name = BoundedName(m->name);
    if (!(flags & BASS_VIS_NAME_ONLY)) {
        if (!m->init || !m->render) {
            fail(file, "the module has no init or render function");
            return 0;
        }
        if (m->init(&v->state, settings ? settings : "", width, height) != 0) {
            fail(file, "the plugin failed to start");
            return 0;
        }
        v->nameOnly = false;
    }
    v->panel = m;
    ok();
    return add(std::move(v));
}

const char *BASS_SONIQUEVIS_GetName(HVIS handle) {
    const auto v = find(handle, Kind::Panel);
    return v ? v->name.c_str() : nullptr; // the string lives as long as the handle
}

BOOL BASS_SONIQUEVIS_Free(HVIS handle) {
    return release(handle, Kind::Panel);
}

BOOL BASS_SONIQUEVIS_Render(HVIS handle, DWORD channel, const BASS_VIS_CANVAS *canvas) {
    const auto v = find(handle, Kind::Panel);
    if (!v || v->nameOnly || v->stopped || !canvas || !canvas->pixels || canvas->width < 1 ||
        canvas->height < 1 || canvas->pitch < canvas->width)
        return FALSE;
    v->readSound(channel);
    MvisSoniqueData &d = v->helper ? v->helper->block().data : v->data;
    d.millis = v->millis();
    const float gain = 1.0f + float(g_waveZoom.load());
    for (int c = 0; c < 2; ++c) {
        const auto &w = v->wave[size_t(c)];
        for (int i = 0; i < MVIS_WAVE_SAMPLES; ++i)
            d.waveform[c][i] =
                std::clamp(w[size_t(kWaveFrames - MVIS_WAVE_SAMPLES + i)] * gain, -1.0f, 1.0f);
    }
    PanelSpectrum(v->fft, g_sensitivity.load(), g_fftZoom.load(), d.spectrum, MVIS_SPECTRUM_BANDS);
    bool drawn;
    std::string why = "the plugin asked to stop";
    if (v->helper) {
        const PanelHelper::Frame f = v->helper->render(&why);
        drawn = f == PanelHelper::Frame::Drawn;
        if (drawn) {
            // The helper draws at the size it was started with; the rest of the canvas is black.
            const HelperBlock &b = v->helper->block();
            for (int y = 0; y < canvas->height; ++y) {
                uint32_t *row = canvas->pixels + size_t(y) * size_t(canvas->pitch);
                const int copy = y < b.height ? std::min(canvas->width, b.width) : 0;
                std::copy(b.pixels + size_t(y) * size_t(b.width),
                          b.pixels + size_t(y) * size_t(b.width) + size_t(copy), row);
                std::fill(row + copy, row + canvas->width, 0u);
            }
        }
    } else {
        drawn = v->panel->render(v->state, canvas->pixels, canvas->width, canvas->height,
                                 canvas->pitch, &d) == 0;
    }
    if (!drawn) {
        v->stopped = true;
        fail(v->name, why);
        return FALSE;
    }
    for (int y = 0; y < canvas->height; ++y) {
        uint32_t *row = canvas->pixels + size_t(y) * size_t(canvas->pitch);
        for (int x = 0; x < canvas->width; ++x)
            row[x] |= 0xFF000000u;
    }
    return TRUE;
}

BOOL BASS_SONIQUEVIS_Clicked(HVIS handle, int x, int y, int buttons) {
    const auto v = find(handle, Kind::Panel);
    if (!v)
        return FALSE;
    if (v->nameOnly || v->stopped)
        return TRUE;
    if (v->helper)
        v->helper->click(x, y, buttons ? buttons : 1);
    else if (v->panel->clicked)
        v->panel->clicked(v->state, x, y, buttons ? buttons : 1);
    return TRUE;
}

/* ---- Module files ---------------------------------------------------------------------- */

HVIS BASS_WINAMPVIS_CreateVis(const char *file, int index, DWORD flags) {
    if (!file || !*file || index < 0) {
        fail(file ? file : "(no file)", "no plugin file or a negative module number");
        return 0;
    }
    std::string why;
    auto v = std::make_shared<Vis>();
    v->kind = Kind::Module;
    v->lib = Library::open(file, &why);
    if (!v->lib) {
        fail(file, "cannot be loaded: " + why);
        return 0;
    }
    auto header = reinterpret_cast<MvisWinampHeaderFn>(v->lib->symbol(MVIS_WINAMP_HEADER_NAME));
    if (!header) {
        fail(file, "no entry point " MVIS_WINAMP_HEADER_NAME);
        return 0;
    }
    const MvisWinampHeader *h = header();
    if (!h || !h->get_module) {
        fail(file, MVIS_WINAMP_HEADER_NAME " returned no header");
        return 0;
    }
    if (h->abi != MVIS_WINAMP_ABI) {
        fail(file, "interface version " + std::to_string(h->abi) + ", this player knows " +
                       std::to_string(MVIS_WINAMP_ABI));
        return 0;
    }
    MvisWinampModule *m = h->get_module(index);
    if (!m) {
        fail(file, "no module " + std::to_string(index));
        return 0;
    }
    v->name = BoundedName(m->description);
    v->module = m;
    if (!(flags & BASS_VIS_NAME_ONLY)) {
        if (!m->init || !m->render) {
            fail(file, "module " + std::to_string(index) + " has no init or render function");
            return 0;
        }
        {
            std::lock_guard<std::mutex> g(g_mutex);
            if (!g_running.insert(m).second) {
                fail(file, "module " + std::to_string(index) + " is already running");
                return 0;
            }
        }
        const int w = m->width > 0 ? std::clamp(m->width, 16, 1024) : 275;
        const int hgt = m->height > 0 ? std::clamp(m->height, 16, 1024) : 116;
        v->frame.assign(size_t(w) * size_t(hgt), 0xFF000000u);
        m->pixels = v->frame.data();
        m->frame_width = w;
        m->frame_height = hgt;
        m->pitch = w;
        m->settings_file = "";
        m->sample_rate = 44100;
        if (m->init(m) != 0) {
            std::lock_guard<std::mutex> g(g_mutex);
            g_running.erase(m);
            fail(file, "module " + std::to_string(index) + " failed to start");
            return 0;
        }
        v->nameOnly = false;
    }
    ok();
    return add(std::move(v));
}

const char *BASS_WINAMPVIS_GetName(HVIS handle) {
    const auto v = find(handle, Kind::Module);
    return v ? v->name.c_str() : nullptr;
}

BOOL BASS_WINAMPVIS_Free(HVIS handle) {
    return release(handle, Kind::Module);
}

BOOL BASS_WINAMPVIS_Render(HVIS handle, DWORD channel) {
    const auto v = find(handle, Kind::Module);
    if (!v || v->nameOnly || v->stopped)
        return FALSE;
    MvisWinampModule *m = v->module;
    v->readSound(channel);
    m->millis = v->millis();
    unsigned char bands[MVIS_WINAMP_SAMPLES];
    ByteSpectrum(v->fft, bands, MVIS_WINAMP_SAMPLES);
    for (int c = 0; c < 2; ++c) {
        std::copy(bands, bands + MVIS_WINAMP_SAMPLES, m->spectrum[c]);
        const auto &w = v->wave[size_t(c)];
        for (int i = 0; i < MVIS_WINAMP_SAMPLES; ++i)
            m->waveform[c][i] = (signed char)std::clamp(int(w[size_t(i)] * 128.0f), -128, 127);
    }
    const int rc = m->render(m);
    for (uint32_t &p : v->frame)
        p |= 0xFF000000u;
    if (rc != 0) {
        v->stopped = true;
        fail(v->name, "the module asked to stop");
        return FALSE;
    }
    return TRUE;
}

BOOL BASS_WINAMPVIS_GetFrame(HVIS handle, BASS_VIS_CANVAS *frame) {
    const auto v = find(handle, Kind::Module);
    if (!v || v->nameOnly || !frame)
        return FALSE;
    frame->pixels = v->frame.data();
    frame->width = v->module->frame_width;
    frame->height = v->module->frame_height;
    frame->pitch = v->module->frame_width;
    return TRUE;
}

BOOL BASS_WINAMPVIS_Config(HVIS handle) {
    const auto v = find(handle, Kind::Module);
    if (!v || v->nameOnly || !v->module->config)
        return FALSE;
    v->module->config(v->module);
    return TRUE;
}

} // extern "C"

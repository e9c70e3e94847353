// Windows: a low-level keyboard hook (WH_KEYBOARD_LL) on the user-interface thread sees
// every key whichever program has the focus and passes each one on unchanged; Raw Input,
// registered with RIDEV_INPUTSINK for a message-only window of ours, names the keyboard
// that typed it. The hook comes first; its key waits a moment for Raw Input's copy, and
// goes without a keyboard when none comes.
#include <windows.h>
// After windows.h, which the other Windows headers need first.
#include <cfgmgr32.h>
extern "C" {
#include <hidsdi.h>  // a C header without the guards C++ needs
}

#include <QKeyEvent>
#include <QRegularExpression>
#include <QTimer>
#include <deque>
#include <map>

#include "platform/keycapture.h"

namespace tallyra {

namespace {

// The keys the card input has any use for: main-row digits, keypad digits, Enter.
int CardKey(DWORD vk) {
    if ((vk >= '0' && vk <= '9') || (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9) || vk == VK_RETURN)
        return int(vk);
    return 0;
}

QString DevicePath(HANDLE device) {
    UINT size = 0;
    GetRawInputDeviceInfoW(device, RIDI_DEVICENAME, nullptr, &size);
    if (size == 0) return {};
    std::wstring name(size, L'\0');
    if (GetRawInputDeviceInfoW(device, RIDI_DEVICENAME, name.data(), &size) == UINT(-1)) return {};
    return QString::fromWCharArray(name.c_str());
}

// What the device calls itself: the HID product string, else the description Windows
// gives the device.
QString DeviceName(const QString& path) {
    const std::wstring wide = path.toStdWString();
    const HANDLE h = CreateFileW(wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        wchar_t product[127] = {};
        const bool named = HidD_GetProductString(h, product, sizeof product) && product[0];
        CloseHandle(h);
        if (named) return QString::fromWCharArray(product).trimmed();
    }
    // \\?\HID#VID_0C2E&PID_0B61&MI_00#7&1b2c&0&0000#{guid}: the instance is the middle.
    QString instance = path.mid(4);
    instance.truncate(instance.lastIndexOf(u'#'));
    instance.replace(u'#', u'\\');
    DEVINST node = 0;
    wchar_t text[256] = {};
    ULONG size = sizeof text;
    if (CM_Locate_DevNodeW(&node, reinterpret_cast<DEVINSTID_W>(instance.data()),
                           CM_LOCATE_DEVNODE_NORMAL) == CR_SUCCESS &&
        CM_Get_DevNode_Registry_PropertyW(node, CM_DRP_DEVICEDESC, nullptr, text, &size, 0) ==
            CR_SUCCESS)
        return QString::fromWCharArray(text);
    return QStringLiteral("键盘");
}

Keyboard Describe(HANDLE device) {
    const QString path = DevicePath(device);
    static const QRegularExpression usb(
        QStringLiteral("VID_([0-9A-Fa-f]{4})&PID_([0-9A-Fa-f]{4})"));
    const auto m = usb.match(path);
    const QString id = m.hasMatch() ? (m.captured(1) + u':' + m.captured(2)).toLower() : QString();
    return Keyboard{DeviceName(path), id, path};
}

std::map<HANDLE, Keyboard> RawKeyboards() {
    std::map<HANDLE, Keyboard> out;
    UINT count = 0;
    if (GetRawInputDeviceList(nullptr, &count, sizeof(RAWINPUTDEVICELIST)) != 0 || count == 0)
        return out;
    std::vector<RAWINPUTDEVICELIST> list(count);
    const UINT got = GetRawInputDeviceList(list.data(), &count, sizeof(RAWINPUTDEVICELIST));
    for (UINT i = 0; i < got && got != UINT(-1); ++i)
        if (list[i].dwType == RIM_TYPEKEYBOARD)
            out.emplace(list[i].hDevice, Describe(list[i].hDevice));
    return out;
}

class HookKeyCapture final : public KeyCapture {
public:
    // How long a hook key waits for Raw Input's copy.
    static constexpr int kPairMs = 60;

    ~HookKeyCapture() override {
        if (hook_) UnhookWindowsHookEx(hook_);
        if (window_) {
            RAWINPUTDEVICE off = {1, 6, RIDEV_REMOVE, nullptr};  // generic desktop, keyboard
            RegisterRawInputDevices(&off, 1, sizeof off);
            DestroyWindow(window_);
        }
        if (active_ == this) active_ = nullptr;
    }

    QString name() const override { return QStringLiteral("Windows 键盘钩子"); }

    std::vector<Keyboard> keyboards() const override {
        std::vector<Keyboard> list;
        for (const auto& [device, keyboard] : keyboards_) list.push_back(keyboard);
        return list;
    }

    bool start(KeyDown onKeyDown) override {
        if (active_) return false;  // the hook procedure knows one capture
        onKeyDown_ = std::move(onKeyDown);
        hook_ =
            SetWindowsHookExW(WH_KEYBOARD_LL, &HookKeyCapture::Hook, GetModuleHandleW(nullptr), 0);
        if (!hook_) return false;
        active_ = this;
        pairTimer_.setSingleShot(true);
        QObject::connect(&pairTimer_, &QTimer::timeout, [this] { deliver(); });
        // Without Raw Input keys still come, only without their keyboard.
        rawInput_ = openRawInput();
        keyboards_ = RawKeyboards();
        return true;
    }

private:
    struct HookKey {
        int key;
        qint64 timeMs;
        qint64 seenMs;
    };
    struct RawKey {
        int key;
        HANDLE device;
        qint64 seenMs;
    };

    bool openRawInput() {
        WNDCLASSW type = {};
        type.lpfnWndProc = &HookKeyCapture::WindowProc;
        type.hInstance = GetModuleHandleW(nullptr);
        type.lpszClassName = L"TallyraRawKeys";
        RegisterClassW(&type);  // a second capture finds the class there
        window_ = CreateWindowExW(0, type.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  type.hInstance, nullptr);
        if (!window_) return false;
        RAWINPUTDEVICE keyboards = {1, 6, RIDEV_INPUTSINK | RIDEV_DEVNOTIFY, window_};
        return RegisterRawInputDevices(&keyboards, 1, sizeof keyboards);
    }

    // Called inside the system's input processing, with a time limit: only note the key and
    // pass it on; the card is handled once the hook has returned.
    static LRESULT CALLBACK Hook(int code, WPARAM message, LPARAM data) {
        if (code == HC_ACTION && active_ && (message == WM_KEYDOWN || message == WM_SYSKEYDOWN)) {
            const auto* k = reinterpret_cast<const KBDLLHOOKSTRUCT*>(data);
            if (const int key = CardKey(k->vkCode)) {
                active_->hookKeys_.push_back({key, qint64(k->time), qint64(GetTickCount64())});
                if (!active_->pairTimer_.isActive()) active_->pairTimer_.start(0);
            }
        }
        return CallNextHookEx(nullptr, code, message, data);
    }

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM w, LPARAM l) {
        if (message == WM_INPUT && active_) {
            active_->rawInput(HRAWINPUT(l));
        } else if (message == WM_INPUT_DEVICE_CHANGE && active_) {
            active_->keyboards_ = RawKeyboards();
            active_->keyboardsChanged();
        }
        return DefWindowProcW(window, message, w, l);
    }

    void rawInput(HRAWINPUT handle) {
        RAWINPUT input;
        UINT size = sizeof input;
        if (GetRawInputData(handle, RID_INPUT, &input, &size, sizeof(RAWINPUTHEADER)) == UINT(-1) ||
            input.header.dwType != RIM_TYPEKEYBOARD)
            return;
        const RAWKEYBOARD& k = input.data.keyboard;
        if (k.Flags & RI_KEY_BREAK) return;
        if (const int key = CardKey(k.VKey)) {
            rawKeys_.push_back({key, input.header.hDevice, qint64(GetTickCount64())});
            deliver();
        }
    }

    const Keyboard& keyboardOf(HANDLE device) {
        static const Keyboard unknown;
        auto it = keyboards_.find(device);
        if (it == keyboards_.end() && device) {
            keyboards_ = RawKeyboards();  // a device announced after its first key
            it = keyboards_.find(device);
        }
        return it != keyboards_.end() ? it->second : unknown;
    }

    // Each hook key with its Raw Input twin, in order; one whose twin is late goes alone.
    void deliver() {
        const qint64 now = qint64(GetTickCount64());
        while (!hookKeys_.empty()) {
            const HookKey k = hookKeys_.front();
            auto twin = rawKeys_.begin();
            while (twin != rawKeys_.end() && twin->key != k.key) ++twin;
            if (twin == rawKeys_.end() && rawInput_ && now - k.seenMs < kPairMs) {
                pairTimer_.start(int(kPairMs - (now - k.seenMs)));
                break;
            }
            const HANDLE device = twin != rawKeys_.end() ? twin->device : nullptr;
            if (twin != rawKeys_.end()) rawKeys_.erase(twin);
            hookKeys_.pop_front();
            const Keyboard from = keyboardOf(device);
            onKeyDown_(k.key, k.timeMs, from);
        }
        // A Raw Input key the hook never saw (another hook ate it) is not a key.
        while (!rawKeys_.empty() && now - rawKeys_.front().seenMs > kPairMs) rawKeys_.pop_front();
    }

    static inline HookKeyCapture* active_ = nullptr;
    HHOOK hook_ = nullptr;
    HWND window_ = nullptr;
    bool rawInput_ = false;
    QTimer pairTimer_;
    std::deque<HookKey> hookKeys_;
    std::deque<RawKey> rawKeys_;
    std::map<HANDLE, Keyboard> keyboards_;
    KeyDown onKeyDown_;
};

}  // namespace

int VirtualKeyOf(const QKeyEvent& key) { return CardKey(DWORD(key.nativeVirtualKey())); }

std::unique_ptr<KeyCapture> StartKeyCapture(KeyCapture::KeyDown onKeyDown) {
    return Started(std::make_unique<HookKeyCapture>(), onKeyDown);
}

std::vector<Keyboard> ListRawInputKeyboards() {
    std::vector<Keyboard> list;
    for (auto& [device, keyboard] : RawKeyboards()) list.push_back(std::move(keyboard));
    return list;
}

}  // namespace tallyra

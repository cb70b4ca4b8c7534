#pragma once
// The window-side operations a run needs: its inputs, the log, the status
// line, the busy cursor, message processing and the program's version texts.
// The main window implements this; tests use an in-memory double.

#include <cstdint>
#include <string>
#include <string_view>

namespace corvid {

// Everything a run reads from the window, captured once when it starts.
struct RunInputs {
    std::string database;            // Emdb: path of the Access file
    std::string table;               // Etbl
    std::string blobField;           // Eimg
    std::string nameField1;          // Efield1
    std::string nameField2;          // Efield2 (may be empty)
    std::string extensionField;      // Efext (read per record, no effect)
    std::string filterField;         // Efilter ("dmp" also switches recognition off)
    std::string filterValue;         // Evalue
    std::string outputDirectory;     // Edir, used as a plain prefix
    bool loginPrompt = false;        // CBlogin
    bool filterAsDirectory = false;  // CBfilter
    bool nameFromField1 = false;     // CBext
    bool dumpCopy = false;           // CBdmp
    bool skipUnknown = false;        // CBskip
    bool deepSearch = false;         // CBdeep
    bool unwrap = false;             // CBunwrap: read OLE objects by their structure
    bool embeddedNames = false;      // CBnames: append a packaged file's own name (with unwrap)
    std::string manifestPath;        // Emanifest: where the run's manifest goes; empty for none
};

// System colour values of the status line.
using Colour = std::uint32_t;
inline constexpr Colour kKeepColour = 0;           // leave the current colour
inline constexpr Colour kButtonFace = 0xFF00000F;  // the normal status colour
inline constexpr Colour kRed = 0x000000FF;         // a run that ended early

class RunHost {
public:
    virtual ~RunHost() = default;

    virtual RunInputs Inputs() const = 0;
    // Appends one line at the end of the log. Clearing the log before a run is
    // the caller's job.
    virtual void AddLogLine(std::string_view line) = 0;
    // Shows a text on the status line; kKeepColour leaves its colour as it is.
    virtual void ShowStatus(std::string_view text, Colour colour) = 0;
    virtual void SetBusyCursor(bool busy) = 0;
    // Lets the application process pending window messages once.
    virtual void ProcessMessages() = 0;
    virtual std::string ProductName() const = 0;
    virtual std::string FileVersion() const = 0;
};

// Sets the busy cursor for its lifetime; Restore() may end it earlier. The
// cursor is restored however the scope is left.
class BusyCursorGuard {
public:
    explicit BusyCursorGuard(RunHost& host) : host_(&host) { host.SetBusyCursor(true); }
    BusyCursorGuard(const BusyCursorGuard&) = delete;
    BusyCursorGuard& operator=(const BusyCursorGuard&) = delete;
    ~BusyCursorGuard() {
        try {
            Restore();
        } catch (...) {
            // restoring the cursor must never turn into a second failure
        }
    }

    void Restore() {
        if (host_ != nullptr) {
            RunHost* host = host_;
            host_ = nullptr;
            host->SetBusyCursor(false);
        }
    }

private:
    RunHost* host_;
};

}  // namespace corvid

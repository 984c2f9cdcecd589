// The rows of the Ports dialog: every serial port some source knows of, one
// per name, with what the sources tell about it and whether a terminal has it.
#pragma once
#include <string>
#include <vector>

enum class PortState { kNone, kOpen, kLost };

struct PortEntry {
  std::string name;        // "COM3", as the first source spelled it
  std::string friendly;    // "USB Serial Port (COM3)"; empty when unknown
  std::string hardwareId;  // the device's first hardware id; empty when unknown
  PortState state = PortState::kNone;
};

class PortList {
 public:
  // What one source knows of a port. A name already listed (in any case)
  // keeps what it has; a later source only fills what was empty. An empty
  // name is ignored.
  void Add(const PortEntry& entry);
  // A port a terminal window has: listed even when no source knows it,
  // unless its device is lost. A port open in one window and lost in another
  // counts as open.
  void MarkOpen(const std::string& name, bool lost);

  // The entries in the order the dialog shows them: COM ports by number,
  // then the other names, digit runs compared by value, case ignored.
  std::vector<PortEntry> Sorted() const;
  const std::vector<PortEntry>& Entries() const { return entries_; }

 private:
  PortEntry* Find(const std::string& name);
  std::vector<PortEntry> entries_;
};

// Whether `a` comes before `b` in the dialog's order.
bool PortNameLess(const std::string& a, const std::string& b);
// Same name, case ignored, as the system compares device names.
bool SamePortName(const std::string& a, const std::string& b);
// A parallel port name ("LPT1"): the Ports device class holds these too.
bool IsPrinterPortName(const std::string& name);

// One list box row: name, friendly name, hardware id and "open" or "lost",
// separated by tabs (always three, so the columns line up). Tabs and other
// control characters inside a field become spaces.
std::string FormatPortRow(const PortEntry& entry);

#include "core/port_list.h"

#include <algorithm>
#include <cstddef>

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// "COM" and nothing but digits after it, at least one.
bool IsComName(const std::string& name) {
  if (name.size() < 4 || Lower(name[0]) != 'c' || Lower(name[1]) != 'o' || Lower(name[2]) != 'm') return false;
  return std::all_of(name.begin() + 3, name.end(), IsDigit);
}

// Compares the digit runs starting at a[i] and b[j] by value (any length,
// leading zeros ignored); advances both past them. Negative, zero or positive.
int CompareNumbers(const std::string& a, size_t& i, const std::string& b, size_t& j) {
  while (i < a.size() && a[i] == '0' && i + 1 < a.size() && IsDigit(a[i + 1])) i++;
  while (j < b.size() && b[j] == '0' && j + 1 < b.size() && IsDigit(b[j + 1])) j++;
  size_t endA = i, endB = j;
  while (endA < a.size() && IsDigit(a[endA])) endA++;
  while (endB < b.size() && IsDigit(b[endB])) endB++;
  int result = 0;
  if (endA - i != endB - j) {
    result = endA - i < endB - j ? -1 : 1;
  } else {
    for (size_t k = 0; k < endA - i && result == 0; k++)
      if (a[i + k] != b[j + k]) result = a[i + k] < b[j + k] ? -1 : 1;
  }
  i = endA;
  j = endB;
  return result;
}

// Case ignored, digit runs by value; 0 only for names that differ in case or
// leading zeros at most.
int NaturalCompare(const std::string& a, const std::string& b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (IsDigit(a[i]) && IsDigit(b[j])) {
      int numbers = CompareNumbers(a, i, b, j);
      if (numbers != 0) return numbers;
      continue;
    }
    const char x = Lower(a[i]), y = Lower(b[j]);
    if (x != y) return static_cast<unsigned char>(x) < static_cast<unsigned char>(y) ? -1 : 1;
    i++;
    j++;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

void AppendField(std::string& row, const std::string& field) {
  for (char c : field) row += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? ' ' : c;
}

}  // namespace

bool SamePortName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); i++)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

bool IsPrinterPortName(const std::string& name) {
  return name.size() > 3 && Lower(name[0]) == 'l' && Lower(name[1]) == 'p' && Lower(name[2]) == 't' &&
         std::all_of(name.begin() + 3, name.end(), IsDigit);
}

bool PortNameLess(const std::string& a, const std::string& b) {
  const bool comA = IsComName(a), comB = IsComName(b);
  if (comA != comB) return comA;
  const int natural = NaturalCompare(a, b);
  if (natural != 0) return natural < 0;
  return a < b;  // "COM02" and "COM2", "a" and "A": any fixed order
}

PortEntry* PortList::Find(const std::string& name) {
  for (PortEntry& entry : entries_)
    if (SamePortName(entry.name, name)) return &entry;
  return nullptr;
}

void PortList::Add(const PortEntry& entry) {
  if (entry.name.empty()) return;
  PortEntry* known = Find(entry.name);
  if (known == nullptr) {
    entries_.push_back(entry);
    return;
  }
  if (known->friendly.empty()) known->friendly = entry.friendly;
  if (known->hardwareId.empty()) known->hardwareId = entry.hardwareId;
  if (known->state == PortState::kNone) known->state = entry.state;
}

void PortList::MarkOpen(const std::string& name, bool lost) {
  if (name.empty()) return;
  PortEntry* known = Find(name);
  if (known == nullptr) {
    if (lost) return;  // its device is gone and no source has it back
    entries_.push_back(PortEntry{name, "", "", PortState::kNone});
    known = &entries_.back();
  }
  if (!lost)
    known->state = PortState::kOpen;
  else if (known->state == PortState::kNone)
    known->state = PortState::kLost;
}

std::vector<PortEntry> PortList::Sorted() const {
  std::vector<PortEntry> sorted = entries_;
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const PortEntry& a, const PortEntry& b) { return PortNameLess(a.name, b.name); });
  return sorted;
}

std::string FormatPortRow(const PortEntry& entry) {
  std::string row;
  AppendField(row, entry.name);
  row += '\t';
  AppendField(row, entry.friendly);
  row += '\t';
  AppendField(row, entry.hardwareId);
  row += '\t';
  if (entry.state == PortState::kOpen) row += "open";
  if (entry.state == PortState::kLost) row += "lost";
  return row;
}

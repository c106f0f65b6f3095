// Date and time: DATE$, TIME$, DTOC$ and CTOD$. Month and weekday names are
// German. The short date format comes from the user's international
// settings ("sShortDate" and "sDate" of section "INTL" of WIN.INI), with
// day-month-year and "." when they are not set.
#include <cstdio>
#include <string>

#include "base/text.h"
#include "base/errors.h"
#include "base/host.h"
#include "base/names.h"
#include "values/evaluator.h"
#include "values/functions_registry.h"
#include "values/functions_support.h"

namespace korv {

namespace {

using namespace fn;

const char* const kMonths[] = {"Januar", "Februar", "März",      "April",   "Mai",      "Juni",
                               "Juli",   "August",  "September", "Oktober", "November", "Dezember"};
const char* const kWeekdays[] = {"Sonntag",    "Montag",  "Dienstag", "Mittwoch",
                                 "Donnerstag", "Freitag", "Samstag"};

struct DateFormat {
  std::string separator;
  char order[3];  // 'd', 'M', 'y'
};

// The order of the fields: the format's first letter, then each next letter
// that differs from the one before and from the separator.
DateFormat SystemDateFormat() {
  DateFormat f{host().ReadProfileText("WIN.INI", "INTL", "sDate", "."), {'d', 'M', 'y'}};
  std::string pattern = host().ReadProfileText("WIN.INI", "INTL", "sShortDate", "dd.MM.yyyy");
  std::string letters;
  char previous = 0;
  for (char c : pattern) {
    if (f.separator.find(c) != std::string::npos) {
      previous = c;
      continue;
    }
    char k = c == 'm' ? 'M' : (c == 'D' ? 'd' : (c == 'Y' ? 'y' : c));
    if (k != previous && (k == 'd' || k == 'M' || k == 'y') && letters.find(k) == std::string::npos)
      letters.push_back(k);
    previous = k;
  }
  if (letters.size() == 3) {
    for (int i = 0; i < 3; ++i) f.order[i] = letters[static_cast<size_t>(i)];
  }
  return f;
}

std::string TwoDigits(int v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d", v);
  return buf;
}

std::string FourDigits(int v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%04d", v);
  return buf;
}

bool LeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

bool ValidDate(int y, int m, int d) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1) return false;
  return d <= kDays[m - 1] + (m == 2 && LeapYear(y) ? 1 : 0);
}

bool AllDigits(const std::string& s) {
  if (s.empty()) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

void FnDate(TParStack& ps) {
  int32_t n;
  if (!IntArg(ps, true, n)) return SetEmpty(kind::kString);
  LocalTime t = host().Now();
  std::string r;
  switch (n & 15) {
    case 1:
      r = std::to_string(t.day) + ". " + kMonths[t.month - 1] + " " + std::to_string(t.year);
      break;
    case 2:
      r = std::string(kWeekdays[t.weekday % 7]) + ", der " + std::to_string(t.day) + ". " +
          kMonths[t.month - 1] + " " + std::to_string(t.year);
      break;
    case 3:
      r = FourDigits(t.year) + TwoDigits(t.month) + TwoDigits(t.day);
      break;
    case 4: {
      DateFormat f = SystemDateFormat();
      r = f.separator + std::string(f.order, 3);
      break;
    }
    default:
      r = ShortDateText(t.year, t.month, t.day);
      break;
  }
  SetString(r);
}

void FnTime(TParStack& ps) {
  int32_t n;
  if (!IntArg(ps, true, n)) return SetEmpty(kind::kString);
  LocalTime t = host().Now();
  if (n == 1) return SetString(TwoDigits(t.second) + "." + TwoDigits(t.millis));
  SetString(TwoDigits(t.hour) + ":" + TwoDigits(t.minute));
}

// DTOC$("YYYYMMDD"): the date in the form of DATE$(0).
void FnDtoc(TParStack& ps) {
  std::string d;
  if (!StrArg(ps, true, d)) return SetEmpty(kind::kString);
  if (d.size() != 8) {
    RaiseWarning(202);
    return SetEmpty(kind::kString);
  }
  if (!AllDigits(d)) return SetString("");
  SetString(ShortDateText(std::stoi(d.substr(0, 4)), std::stoi(d.substr(4, 2)), std::stoi(d.substr(6, 2))));
}

// CTOD$(date): a date of ten characters in the form of DATE$(0) back to
// YYYYMMDD, whose integer form is that number.
void FnCtod(TParStack& ps) {
  std::string d;
  if (!StrArg(ps, true, d)) return SetEmpty(kind::kString);
  if (d.size() != 10) {
    RaiseWarning(203);
    return SetEmpty(kind::kString);
  }
  DateFormat f = SystemDateFormat();
  // The three fields are the digit runs, in the order of the format.
  std::string fields[3];
  int count = 0;
  bool inDigits = false;
  for (char c : d) {
    bool digit = c >= '0' && c <= '9';
    if (digit) {
      if (!inDigits) ++count;
      if (count > 3) return SetStringNumber("", 0);
      fields[count - 1].push_back(c);
    } else if (f.separator.find(c) == std::string::npos) {
      return SetStringNumber("", 0);
    }
    inDigits = digit;
  }
  if (count != 3) return SetStringNumber("", 0);
  int day = 0, month = 0, year = 0;
  for (int i = 0; i < 3; ++i) {
    if (fields[i].size() > 4) return SetStringNumber("", 0);
    int v = std::stoi(fields[i]);
    switch (f.order[i]) {
      case 'd': day = v; break;
      case 'M': month = v; break;
      default: year = v; break;
    }
  }
  if (year < 100) year += 1900;
  if (!ValidDate(year, month, day)) return SetStringNumber("", 0);
  std::string r = FourDigits(year) + TwoDigits(month) + TwoDigits(day);
  SetStringNumber(r, year * 10000 + month * 100 + day);
}

}  // namespace

std::string ShortDateText(int year, int month, int day) {
  if (year < 100) year += 1900;
  if (!ValidDate(year, month, day)) return std::string();
  DateFormat f = SystemDateFormat();
  std::string r;
  for (int i = 0; i < 3; ++i) {
    if (i) r += f.separator;
    switch (f.order[i]) {
      case 'd': r += TwoDigits(day); break;
      case 'M': r += TwoDigits(month); break;
      default: r += FourDigits(year); break;
    }
  }
  return r;
}

void RegisterDateFunctions() {
#define KORV_UNIT_dates 1
#include "base/bind_unit.h"
#undef KORV_UNIT_dates
}

}  // namespace korv

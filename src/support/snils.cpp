#include "support/snils.h"

#include "support/char_set.h"

namespace velt {

// The check number is the sum of the first nine digits weighted 9 down to 1,
// taken mod 101, with 100 read as 0. Separators between the digits are
// ignored; small numbers get no exemption.
bool CheckSnils(std::string_view text) {
  int digits[11];
  int count = 0;
  for (char c : text) {
    if (!DigitChars.Contains(c)) continue;
    if (count == 11) return false;
    digits[count++] = c - '0';
  }
  if (count != 11) return false;
  int sum = 0;
  for (int i = 0; i < 9; ++i) sum += digits[i] * (9 - i);
  int check = sum % 101;
  if (check == 100) check = 0;
  return check == digits[9] * 10 + digits[10];
}

}  // namespace velt

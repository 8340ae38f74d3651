#include <algorithm>
#include <cmath>
#include <cstddef>
#include <sstream>
#include <stdexcept>
#include <string>

#include "xamlpie/cXAMLPieChart.h"

namespace xamlpie {
namespace {

[[noreturn]] void Reject(std::size_t index, double value, const char* why) {
  std::ostringstream message;
  message.precision(17);
  message << "SharesFromValues: value " << index << " (" << value << ") " << why;
  throw std::invalid_argument(message.str());
}

}  // namespace

std::vector<std::int32_t> SharesFromValues(std::span<const double> values) {
  double largest = 0.0;
  for (std::size_t i = 0; i < values.size(); ++i) {
    const double v = values[i];
    if (std::isnan(v)) Reject(i, v, "is not a number");
    if (std::isinf(v)) Reject(i, v, "is infinite");
    if (v < 0) Reject(i, v, "is negative");
    largest = std::max(largest, v);
  }
  if (!(largest > 0)) {
    throw std::invalid_argument("SharesFromValues: the values add up to zero; nothing to share");
  }

  // Dividing by the largest first keeps the total finite next to 1e308.
  double total = 0.0;
  for (double v : values)
    total += v / largest;

  std::vector<std::int32_t> shares(values.size(), 0);
  std::vector<double> remainders(values.size(), 0.0);
  std::int32_t given = 0;
  for (std::size_t i = 0; i < values.size(); ++i) {
    const double exact = std::min(100.0, values[i] / largest / total * 100.0);
    const double whole = std::floor(exact);
    shares[i] = static_cast<std::int32_t>(whole);
    remainders[i] = exact - whole;
    given += shares[i];
  }

  // Rounding in the sum can leave the floored shares one more or one less
  // than 100; the loops below correct that in both directions.
  std::vector<std::size_t> order;
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (values[i] > 0) order.push_back(i);
  }
  std::stable_sort(order.begin(), order.end(),
                   [&](std::size_t a, std::size_t b) { return remainders[a] > remainders[b]; });
  for (std::size_t k = 0; given < 100; k = (k + 1) % order.size()) {
    ++shares[order[k]];
    ++given;
  }
  for (std::size_t k = order.size(); given > 100;) {
    k = (k == 0 ? order.size() : k) - 1;
    if (shares[order[k]] > 0) {
      --shares[order[k]];
      --given;
    }
  }
  return shares;
}

}  // namespace xamlpie

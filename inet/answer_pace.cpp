#include "inet/answer_pace.h"

#include <algorithm>

namespace tk::inet {

void AnswerPace::Note(std::int64_t delayUs) {
  if (delayUs < 0) return;
  m_delays[m_count++] = delayUs;
  if (m_count < kWindow) return;
  m_count = 0;
  const auto middle = m_delays.begin() + kWindow / 2;
  std::nth_element(m_delays.begin(), middle, m_delays.end());
  if (*middle < kQuickUs) m_aheadPays = false;
  if (*middle > kSlowUs) m_aheadPays = true;
}

}  // namespace tk::inet

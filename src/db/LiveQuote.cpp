#include "db/LiveQuote.h"

#include "db/State.h"

namespace velor {

void LiveQuote::getVecs(State &st, const std::vector<int> &codes, const std::function<bool(size_t)> &each)
{
    for (size_t k = 0; k < codes.size(); ++k) {
        st.CurCode = codes[k];
        getVec(st);
        if (!each(k)) return;
    }
}

} // namespace velor

#pragma once
// The one step that both reverse-communication searches end a call with:
// remember where to resume and ask the caller for f at a point.

namespace cdfs {

template <class SearchState>
void requestValue(SearchState& s, typename SearchState::Stage resumeAt, int& status, double& x,
                  double at)
{
    s.stage = resumeAt;
    x = at;
    status = 1;
}

} // namespace cdfs

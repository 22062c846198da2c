// Views of owning containers, for the functions that read objects they do
// not keep.
#ifndef VORL_SUPPORT_OWNERSHIP_H
#define VORL_SUPPORT_OWNERSHIP_H

#include <memory>
#include <vector>

// The objects of v, still owned by v.
template <class T>
std::vector<T*> view(const std::vector<std::unique_ptr<T>>& v)
{
  std::vector<T*> r;
  r.reserve(v.size());
  for (const auto& p : v)
    r.push_back(p.get());
  return r;
}

#endif

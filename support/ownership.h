// Views of owning containers, for the functions that read objects they do
// not keep.
#ifndef VORL_SUPPORT_OWNERSHIP_H
#define VORL_SUPPORT_OWNERSHIP_H

#include <map>
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

// The values of m, still owned by m, under the same keys.
template <class K, class T, class C>
std::map<K, T*, C> view(const std::map<K, std::unique_ptr<T>, C>& m)
{
  std::map<K, T*, C> r;
  for (const auto& [key, value] : m)
    r.emplace_hint(r.end(), key, value.get());
  return r;
}

#endif

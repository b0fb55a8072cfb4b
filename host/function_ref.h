// A reference to something callable, for a parameter that is called only while the callee
// runs. Unlike std::function it owns nothing, never allocates and keeps no description of its
// target's type: in the Windows stub each lambda passed through std::function brought its
// type name and a manager routine along. Bind it to a named callable, not to a temporary
// that ends before the reference is used. Parameters take it by const reference: the x64
// calling convention passes a two-pointer value through a copy in memory, which made the x64
// stub 512 bytes larger.
#pragma once

#include <memory>
#include <type_traits>
#include <utility>

template <typename Signature>
class FunctionRef;

template <typename R, typename... Args>
class FunctionRef<R(Args...)> {
 public:
  template <typename F, typename = std::enable_if_t<!std::is_same_v<std::decay_t<F>, FunctionRef>>>
  FunctionRef(F&& callable)  // NOLINT: converts implicitly, like std::function
      : target_(const_cast<void*>(static_cast<const void*>(std::addressof(callable)))),
        call_(&Call<std::remove_reference_t<F>>) {}

  R operator()(Args... args) const { return call_(target_, std::forward<Args>(args)...); }

 private:
  template <typename F>
  static R Call(void* target, Args... args) {
    return (*static_cast<F*>(target))(std::forward<Args>(args)...);
  }

  void* target_;
  R (*call_)(void*, Args...);
};

// Detection of message types that declare a field list. A type declares one
// with a static member function
//     static void describeFields(Orvel::FieldList<T>& fields);
// that adds its data members in wire order. Types without it are encoded as
// their memory image, which requires them to be trivially copyable.
#pragma once
#include <type_traits>
#include <utility>

namespace Orvel {

template <typename T>
class FieldList;

template <typename T, typename = void>
struct HasFieldList : std::false_type {};

template <typename T>
struct HasFieldList<T, std::void_t<decltype(T::describeFields(std::declval<FieldList<T>&>()))>> : std::true_type {};

template <typename T>
inline constexpr bool hasFieldList = HasFieldList<T>::value;

}  // namespace Orvel

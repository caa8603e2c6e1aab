// Detection of message types that declare a field list. A type declares one
// with a static member function
//     static void describeFields(Orvel::FieldList<T>& fields);
// that adds its data members in wire order. Types without it are encoded as
// their memory image, which requires them to be trivially copyable. A type
// that is only ever received may instead read its payload itself with
//     static bool decode(const std::uint8_t* payload, std::uint32_t size, T& message);
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

template <typename T, typename = void>
struct HasOwnDecoder : std::false_type {};

template <typename T>
struct HasOwnDecoder<T, std::void_t<decltype(T::decode(std::declval<const unsigned char*>(), 0u, std::declval<T&>()))>>
    : std::true_type {};

template <typename T>
inline constexpr bool hasOwnDecoder = HasOwnDecoder<T>::value;

}  // namespace Orvel

#pragma once
// The program's folders and resource prefixes. Data folders are relative to
// the working directory (the data root is empty); names starting with ':' are
// compiled-in resources and never get a folder put in front. The values are
// compile-time constants, so they exist before any static initialiser runs.

namespace qel {

inline constexpr char DataRoot[] = "";
inline constexpr char MaterialsFolder[] = "Materials/";
inline constexpr char ShadersPrefix[] = ":/shaders/";
inline constexpr char IconsPrefix[] = ":/icons/";
inline constexpr char TexturesFolder[] = "Textures/";
inline constexpr char EnvironmentsFolder[] = "Textures/Environments/";
inline constexpr char ScenesFolder[] = "Scenes/";
inline constexpr char ObjectsFolder[] = "Scenes/Objects/";

}  // namespace qel

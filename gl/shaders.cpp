#include "gl/shaders.h"

namespace qel {

// Created in this order by the static initialiser of this file; they live
// until the program ends.
Shader* ShaderSkyBox = new Shader("SkyBox");
Shader* ShaderFilterSkyBox = new Shader("FilterSkyBox");
Shader* ShaderDrawLetter = new Shader("DrawLetter");
Shader* ShaderColor = new Shader(std::string("Curve") + "/" + "Color");  // no such resource; never enabled
Shader* ShaderDraw = new Shader("Curve/Draw");
Shader* ShaderFilterAdd = new Shader("Filters/FilterAdd");
Shader* ShaderFilterAdd2 = new Shader("Filters/FilterAdd2");
Shader* ShaderFilterAdd3 = new Shader("Filters/FilterAdd3");
Shader* ShaderFilterAdd2MipMaps = new Shader("Filters/FilterAdd2MipMaps");
Shader* ShaderFilterAddMipMaps = new Shader("Filters/FilterAddMipMaps");
Shader* ShaderFilterThreshold = new Shader("Filters/FilterThreshold");
Shader* ShaderFilterChroma = new Shader("Filters/FilterChroma");
Shader* ShaderFilterBlur = new Shader("Filters/FilterBlur");
Shader* ShaderFilterBlurFloat = new Shader("Filters/FilterBlurFloat");
Shader* ShaderFilterBlurVec3 = new Shader("Filters/FilterBlurVec3");
Shader* ShaderParabola = new Shader("Filters/Parabola");
Shader* ShaderSphere = new Shader("Filters/Sphere");
Shader* ShaderChamfer = new Shader("Filters/Chamfer");
Shader* ShaderContour = new Shader("Filters/Contour");
Shader* ShaderContourMix = new Shader("Filters/ContourMix");
Shader* ShaderContourParts = new Shader("Filters/ContourParts");
Shader* ShaderContourSelectionParts = new Shader("Filters/ContourSelectionParts");
Shader* ShaderContourSelection = new Shader("Filters/ContourSelection");
Shader* ShaderContourSelectionMix = new Shader("Filters/ContourSelectionMix");
Shader* ShaderNormalsOrthogonal = new Shader("NormalsOrthogonal");
Shader* ShaderNormalsPerspective = new Shader("NormalsPerspective");
Shader* ShaderLayerComposit = new Shader("LayerComposit");
Shader* ShaderLayerCompositSimple = new Shader("LayerCompositSimple");
Shader* ShaderMixRefract = new Shader("MixRefract");
Shader* ShaderMixRefractGlow = new Shader("MixRefractGlow");
Shader* ShaderMixRefractChroma = new Shader("MixRefractChroma");
Shader* ShaderMixRefractGlowChroma = new Shader("MixRefractGlowChroma");
Shader* ShaderMirrorVertical = new Shader("MirrorVertical");
Shader* ShaderFogOrthogonal = new Shader("FogOrthogonal");
Shader* ShaderEdgeDetection = new Shader("EdgeDetection");
Shader* ShaderMesh = new Shader("Mesh/Mesh");
Shader* ShaderMeshColor = new Shader("Mesh/MeshColor");
Shader* ShaderLightning = new Shader("Mesh/Lightning");
Shader* ShaderSprite = new Shader("Sprite/Sprite");
Shader* ShaderAnimatedSprite = new Shader("Sprite/AnimatedSprite");
Shader* ShaderCurve = new Shader("Curve/Curve");
Shader* ShaderClay = new Shader("Mesh/Clay");
Shader* ShaderClayDeform = new Shader("Mesh/ClayDeform");
Shader* ShaderClayDeformVolume = new Shader("Mesh/ClayDeformVolume");
Shader* ShaderClayPinch = new Shader("Mesh/ClayPinch");
Shader* ShaderClayTwist = new Shader("Mesh/ClayTwist");
Shader* ShaderClaySubPlane = new Shader("Mesh/ClaySubPlane");
Shader* ShaderClayFlatten = new Shader("Mesh/ClayFlatten");

const std::vector<Shader*>& allShaders() {
    static const std::vector<Shader*> shaders = {
        ShaderSkyBox,
        ShaderFilterSkyBox,
        ShaderDrawLetter,
        ShaderColor,
        ShaderDraw,
        ShaderFilterAdd,
        ShaderFilterAdd2,
        ShaderFilterAdd3,
        ShaderFilterAdd2MipMaps,
        ShaderFilterAddMipMaps,
        ShaderFilterThreshold,
        ShaderFilterChroma,
        ShaderFilterBlur,
        ShaderFilterBlurFloat,
        ShaderFilterBlurVec3,
        ShaderParabola,
        ShaderSphere,
        ShaderChamfer,
        ShaderContour,
        ShaderContourMix,
        ShaderContourParts,
        ShaderContourSelectionParts,
        ShaderContourSelection,
        ShaderContourSelectionMix,
        ShaderNormalsOrthogonal,
        ShaderNormalsPerspective,
        ShaderLayerComposit,
        ShaderLayerCompositSimple,
        ShaderMixRefract,
        ShaderMixRefractGlow,
        ShaderMixRefractChroma,
        ShaderMixRefractGlowChroma,
        ShaderMirrorVertical,
        ShaderFogOrthogonal,
        ShaderEdgeDetection,
        ShaderMesh,
        ShaderMeshColor,
        ShaderLightning,
        ShaderSprite,
        ShaderAnimatedSprite,
        ShaderCurve,
        ShaderClay,
        ShaderClayDeform,
        ShaderClayDeformVolume,
        ShaderClayPinch,
        ShaderClayTwist,
        ShaderClaySubPlane,
        ShaderClayFlatten,
    };
    return shaders;
}

}  // namespace qel

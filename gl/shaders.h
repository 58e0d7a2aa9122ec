#pragma once
// The program-wide shader objects, one per shader resource, created before
// main in the order below. None is compiled before its first enable.

#include "gl/shader.h"

namespace qel {

extern Shader* ShaderSkyBox;
extern Shader* ShaderFilterSkyBox;
extern Shader* ShaderDrawLetter;
extern Shader* ShaderColor;
extern Shader* ShaderDraw;
extern Shader* ShaderFilterAdd;
extern Shader* ShaderFilterAdd2;
extern Shader* ShaderFilterAdd3;
extern Shader* ShaderFilterAdd2MipMaps;
extern Shader* ShaderFilterAddMipMaps;
extern Shader* ShaderFilterThreshold;
extern Shader* ShaderFilterChroma;
extern Shader* ShaderFilterBlur;
extern Shader* ShaderFilterBlurFloat;
extern Shader* ShaderFilterBlurVec3;
extern Shader* ShaderParabola;
extern Shader* ShaderSphere;
extern Shader* ShaderChamfer;
extern Shader* ShaderContour;
extern Shader* ShaderContourMix;
extern Shader* ShaderContourParts;
extern Shader* ShaderContourSelectionParts;
extern Shader* ShaderContourSelection;
extern Shader* ShaderContourSelectionMix;
extern Shader* ShaderNormalsOrthogonal;
extern Shader* ShaderNormalsPerspective;
extern Shader* ShaderLayerComposit;
extern Shader* ShaderLayerCompositSimple;
extern Shader* ShaderMixRefract;
extern Shader* ShaderMixRefractGlow;
extern Shader* ShaderMixRefractChroma;
extern Shader* ShaderMixRefractGlowChroma;
extern Shader* ShaderMirrorVertical;
extern Shader* ShaderFogOrthogonal;
extern Shader* ShaderEdgeDetection;
extern Shader* ShaderMesh;
extern Shader* ShaderMeshColor;
extern Shader* ShaderLightning;
extern Shader* ShaderSprite;
extern Shader* ShaderAnimatedSprite;
extern Shader* ShaderCurve;
extern Shader* ShaderClay;
extern Shader* ShaderClayDeform;
extern Shader* ShaderClayDeformVolume;
extern Shader* ShaderClayPinch;
extern Shader* ShaderClayTwist;
extern Shader* ShaderClaySubPlane;
extern Shader* ShaderClayFlatten;

// Every global shader in creation order.
const std::vector<Shader*>& allShaders();

}  // namespace qel

// A GLTFLoader plugin for the MOZ_lightmap material extension:
//   "extensions": {"MOZ_lightmap": {"index": T, "texCoord": 1, "intensity": I}}
// gives the material texture T as its lightMap, read from texture
// coordinate set texCoord (TEXCOORD_1 is three.js's uv1, channel 1), with
// lightMapIntensity I. The picture is sRGB. three.js lights the surface by
// lightMap x lightMapIntensity x albedo / pi.
import { SRGBColorSpace } from 'three';

export const MOZ_LIGHTMAP = 'MOZ_lightmap';

export class MozLightmapExtension {
  constructor(parser) {
    this.parser = parser;
    this.name = MOZ_LIGHTMAP;
  }

  // The extension's object of material `materialIndex`, or undefined.
  lightmapOf(materialIndex) {
    const material = (this.parser.json.materials || [])[materialIndex];
    return material && material.extensions ? material.extensions[MOZ_LIGHTMAP] : undefined;
  }

  extendMaterialParams(materialIndex, materialParams) {
    const lightmap = this.lightmapOf(materialIndex);
    if (!lightmap) return Promise.resolve();
    materialParams.lightMapIntensity = lightmap.intensity !== undefined ? lightmap.intensity : 1;
    const map = { index: lightmap.index, texCoord: lightmap.texCoord !== undefined ? lightmap.texCoord : 0 };
    return this.parser.assignTexture(materialParams, 'lightMap', map, SRGBColorSpace).then((texture) => {
      // assignTexture sets the channel only for sets above 0.
      if (texture) texture.channel = map.texCoord;
    });
  }
}

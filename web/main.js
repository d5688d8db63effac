// Shows a glTF lit by its MOZ_lightmap, as Glowbake's --gltf-lightmap writes
// it. The address says what and how:
//   ?model=URL            the .glb or .gltf to show (required)
//   &mode=lambert         every material a Lambertian surface of its mean
//                         albedo (base colour factor x the linear mean of
//                         its base-colour texture), its lightmap and emission
//                         kept: the picture Glowbake's own solution makes
//   &eye=x,y,z&target=x,y,z  a fixed camera; otherwise the scene is framed
//   &fov=DEGREES          vertical field of view (default 60)
//   &exposure=FACTOR      instead of the file's (scene extras
//                         "glowbakeExposure"; 1 when it has none)
//   &lights=on            keep the file's lamps (KHR_lights_punctual) lit;
//                         they are off otherwise, since the lightmap holds
//                         the light Glowbake solved and would count it twice
// The lightmap holds the light in absolute units (the model's emission
// units), so the renderer maps it to the screen with linear tone mapping at
// that exposure, as Glowbake's own pictures are made. Surfaces are drawn
// from their front only, the side Glowbake lit (a back would show the
// front's light): from outside, a room shows its inside.
import * as THREE from 'three';
import { GLTFLoader } from 'three/addons/loaders/GLTFLoader.js';
import { OrbitControls } from 'three/addons/controls/OrbitControls.js';
import { MozLightmapExtension } from './MozLightmap.js';

const params = new URLSearchParams(window.location.search);
const status = document.getElementById('status');
// What a test reads: the frames drawn so far, or the error.
window.glowbake = { frames: 0, error: null, exposure: null };

function numbers(name, count) {
  const text = params.get(name);
  if (text === null) return null;
  const values = text.split(',').map(Number);
  if (values.length !== count || values.some((v) => !Number.isFinite(v))) {
    const wanted = count === 1 ? 'a number' : `${count} numbers separated by commas`;
    throw new Error(`${name} must be ${wanted}, not "${text}"`);
  }
  return values;
}

function srgbToLinear(c) {
  return c <= 0.04045 ? c / 12.92 : Math.pow((c + 0.055) / 1.055, 2.4);
}

// The linear mean of a texture's texels (its colour space undone).
function textureMean(texture) {
  const image = texture.image;
  const canvas = document.createElement('canvas');
  canvas.width = image.width;
  canvas.height = image.height;
  const context = canvas.getContext('2d', { willReadFrequently: true });
  context.drawImage(image, 0, 0);
  const data = context.getImageData(0, 0, image.width, image.height).data;
  const decode = texture.colorSpace === THREE.SRGBColorSpace
    ? (v) => srgbToLinear(v / 255) : (v) => v / 255;
  const table = Array.from({ length: 256 }, (_, v) => decode(v));
  const sum = [0, 0, 0];
  for (let i = 0; i < data.length; i += 4) {
    sum[0] += table[data[i]];
    sum[1] += table[data[i + 1]];
    sum[2] += table[data[i + 2]];
  }
  const n = data.length / 4;
  return new THREE.Color(sum[0] / n, sum[1] / n, sum[2] / n);
}

// The Lambertian stand-in of a lit material.
function lambertian(material) {
  if (!material.isMeshStandardMaterial) return material;
  const albedo = material.color.clone();
  if (material.map) albedo.multiply(textureMean(material.map));
  return new THREE.MeshLambertMaterial({
    name: material.name,
    color: albedo,
    emissive: material.emissive,
    emissiveIntensity: material.emissiveIntensity,
    lightMap: material.lightMap,
    lightMapIntensity: material.lightMapIntensity,
  });
}

function frame(camera, controls, object) {
  const box = new THREE.Box3().setFromObject(object);
  const center = box.getCenter(new THREE.Vector3());
  const radius = Math.max(box.getSize(new THREE.Vector3()).length() / 2, 1e-6);
  const distance = radius / Math.sin(THREE.MathUtils.degToRad(camera.fov) / 2);
  camera.position.copy(center).add(new THREE.Vector3(0, 0.35, 1).normalize().multiplyScalar(distance));
  controls.target.copy(center);
  camera.near = radius / 1000;
  camera.far = radius * 100;
}

async function show() {
  const model = params.get('model');
  if (!model) throw new Error('no model given: add ?model=URL of a .glb or .gltf to the address');
  const eye = numbers('eye', 3);
  const target = numbers('target', 3);
  const fov = params.has('fov') ? numbers('fov', 1)[0] : 60;

  const renderer = new THREE.WebGLRenderer({ antialias: true, preserveDrawingBuffer: true });
  renderer.setPixelRatio(window.devicePixelRatio);
  renderer.setSize(window.innerWidth, window.innerHeight);
  renderer.toneMapping = THREE.LinearToneMapping;
  document.body.appendChild(renderer.domElement);

  status.textContent = `loading ${model}`;
  const loader = new GLTFLoader();
  loader.register((parser) => new MozLightmapExtension(parser));
  const gltf = await loader.loadAsync(model);
  const scene = gltf.scene;
  scene.traverse((object) => {
    if (!object.isMesh) return;
    for (const material of Array.isArray(object.material) ? object.material : [object.material]) {
      material.side = THREE.FrontSide;
    }
  });
  if (params.get('lights') !== 'on') {
    scene.traverse((object) => {
      if (object.isLight) object.visible = false;
    });
  }
  if (params.get('mode') === 'lambert') {
    scene.traverse((object) => {
      if (!object.isMesh) return;
      object.material = Array.isArray(object.material)
        ? object.material.map(lambertian) : lambertian(object.material);
    });
  }
  const exposure = params.has('exposure') ? numbers('exposure', 1)[0]
    : (scene.userData.glowbakeExposure !== undefined ? scene.userData.glowbakeExposure : 1);
  renderer.toneMappingExposure = exposure;
  window.glowbake.exposure = exposure;

  const camera = new THREE.PerspectiveCamera(fov, window.innerWidth / window.innerHeight, 0.01, 1000);
  const controls = new OrbitControls(camera, renderer.domElement);
  if (eye && target) {
    camera.position.set(...eye);
    controls.target.set(...target);
  } else {
    frame(camera, controls, scene);
  }
  camera.updateProjectionMatrix();
  controls.update();
  window.addEventListener('resize', () => {
    camera.aspect = window.innerWidth / window.innerHeight;
    camera.updateProjectionMatrix();
    renderer.setSize(window.innerWidth, window.innerHeight);
  });

  status.textContent = '';
  renderer.setAnimationLoop(() => {
    controls.update();
    renderer.render(scene, camera);
    window.glowbake.frames += 1;
  });
}

show().catch((error) => {
  status.textContent = String(error.message || error);
  window.glowbake.error = String(error.message || error);
  console.error(error);
});

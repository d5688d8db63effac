# Renders an exported glTF from the viewer's start camera with Blender, to
# compare with `GlowbakeViewer --snapshot` (a development check, not a test):
#
#   blender -b --python scripts/render-gltf.py -- demo-out/cornell.glb out.png
#
# The viewer starts at model point (15, 15, -5) looking along +z with a
# vertical field of view of 90 degrees; Blender's glTF importer turns the
# file's (x, y, z) into (x, -z, y). The materials are unlit, so Cycles with
# the Standard view transform shows the baked picture as it is. Blender comes
# from Debian (scripts/make-fixtures.sh installs it).
import math
import sys

import bpy
import numpy

numpy.bool = bool  # Blender 3.4's glTF importer still uses this removed alias

glb, out = sys.argv[sys.argv.index("--") + 1:][:2]
bpy.ops.wm.read_factory_settings(use_empty=True)
bpy.ops.import_scene.gltf(filepath=glb)
scene = bpy.context.scene
camera = bpy.data.cameras.new("viewer")
camera.sensor_fit = "VERTICAL"
camera.angle_y = math.radians(90)
eye = bpy.data.objects.new("viewer", camera)
scene.collection.objects.link(eye)
eye.location = (15, 5, 15)
eye.rotation_euler = (math.pi / 2, 0, math.pi)  # looking along Blender's -y, the file's +z
scene.camera = eye
scene.render.engine = "CYCLES"
scene.cycles.device = "CPU"
scene.cycles.samples = 8
scene.cycles.use_denoising = False
scene.render.resolution_x = 400
scene.render.resolution_y = 300
scene.view_settings.view_transform = "Standard"
scene.world = bpy.data.worlds.new("black")
scene.world.color = (0, 0, 0)
scene.render.filepath = out
bpy.ops.render.render(write_still=True)

GlowbakeHemicube 16 hemicube16.hc
Glowbake -m lamp_floor.mdl -h hemicube16.hc -o lamp_floor.out -w 0.05 -a 0.5 -i 0.0001 -s 0.02 -t 16

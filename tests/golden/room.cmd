GlowbakeHemicube 16 hemicube16.hc
Glowbake -m room.mdl -h hemicube16.hc -o room.out -w 0.05 -a 0.2 -i 0.001 -s 0.05 -g 0.5 -t 16

GlowbakeHemicube 8 hemicube8.hc
Glowbake -m odd_sizes.mdl -h hemicube8.hc -o odd_sizes.out -w 0.1 -a 100 -i 0.001 -s 10 -t 12

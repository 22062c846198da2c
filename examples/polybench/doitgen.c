/* doitgen: multiresolution analysis kernel, A[r][q] = A[r][q] * C4 for
   every slice, through the vector sum. */
int NR = 3, NQ = 4, NP = 5;
double A[12][12][12], sum[12], C4[12][12];

int main(void)
{
  int r, q, p, s;
#pragma resource [2][4]
  for (r = 0; r < NR; r++)
    for (q = 0; q < NQ; q++) {
      for (p = 0; p < NP; p++) {
#pragma latency [1][1]
        sum[p] = 0.0;
        for (s = 0; s < NP; s++)
#pragma latency [4][2]
          sum[p] += A[r][q][s] * C4[s][p];
      }
      for (p = 0; p < NP; p++)
#pragma latency [1][2]
        A[r][q][p] = sum[p];
    }
  return 0;
}
